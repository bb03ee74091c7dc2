#include "config/account_page.h"

#include "config/my_system_dialog.h"

AccountPropertyPage::AccountPropertyPage(QWidget* parent) : CConfigPage("Account ", parent) {}

void MySystemDialog::ApplyAccountPage(MySystemDialog&, AccountPropertyPage&) {}
