#include "config/device_page.h"

#include "config/my_system_dialog.h"

DevicePage::DevicePage(QWidget* parent) : CConfigPage("Device", parent) {}

void MySystemDialog::ApplyDevicePage(MySystemDialog&, DevicePage&) {}
