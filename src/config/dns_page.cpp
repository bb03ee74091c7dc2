#include "config/dns_page.h"

#include "config/my_system_dialog.h"

CDNSPage::CDNSPage(QWidget* parent) : CConfigPage("DDNS", parent) {}

CSNTPPage::CSNTPPage(QWidget* parent) : CConfigPage("SNTP", parent) {}

void MySystemDialog::ApplyDnsPage(MySystemDialog&, CDNSPage&) {}
