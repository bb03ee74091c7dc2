#include "config/camera_page.h"

#include "config/my_system_dialog.h"

CameraPage::CameraPage(QWidget* parent) : CConfigPage("Camera", parent) {}

void MySystemDialog::ApplyCameraPage(MySystemDialog&, CameraPage&) {}
