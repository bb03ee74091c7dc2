#include "config/mail_page.h"

#include "config/my_system_dialog.h"

MailPropertyPage::MailPropertyPage(QWidget* parent) : CConfigPage("Mail", parent) {}

void MySystemDialog::ApplyMailPage(MySystemDialog&, MailPropertyPage&) {}
