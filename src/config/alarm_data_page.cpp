#include "config/alarm_data_page.h"

AlarmDataPage::AlarmDataPage(QWidget* parent) : CConfigPage("Alarm database", parent) {}
