#include "config/alarm_page.h"

#include "config/my_system_dialog.h"

AlarmPropertyPage::AlarmPropertyPage(QWidget* parent) : CConfigPage("Alarm", parent) {}

void MySystemDialog::ApplyAlarmPages(MySystemDialog&, AlarmPropertyPage&) {}
