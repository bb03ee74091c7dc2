#include "config/schedule_record_page.h"

CScheduleRecordPage::CScheduleRecordPage(QWidget* parent)
    : CConfigPage("Schedule Record", parent) {}
