#include "config/ftp_page.h"

#include "config/my_system_dialog.h"

FTPPropertyPage::FTPPropertyPage(QWidget* parent) : CConfigPage("FTP", parent) {}

void MySystemDialog::ApplyFtpPage(MySystemDialog&, FTPPropertyPage&) {}
