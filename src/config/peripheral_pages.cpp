#include "config/peripheral_pages.h"

CPeripheralPage::CPeripheralPage(QWidget* parent) : CConfigPage("Peripheral", parent) {}

CXr2Peripheral::CXr2Peripheral(QWidget* parent) : CConfigPage("Peripheral", parent) {}
