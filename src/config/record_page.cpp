#include "config/record_page.h"

RecordPage::RecordPage(QWidget* parent) : CConfigPage("File Path", parent) {}
