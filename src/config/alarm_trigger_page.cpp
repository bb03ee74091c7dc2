#include "config/alarm_trigger_page.h"

CAlarmTriggerPage::CAlarmTriggerPage(QWidget* parent) : CConfigPage("R.E.T.R.", parent) {}
