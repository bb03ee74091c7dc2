#include "config/online_user_page.h"

COnlineUserPage::COnlineUserPage(QWidget* parent) : CConfigPage("Online User", parent) {}
