#include "config/detection_page.h"

#include "config/my_system_dialog.h"

DetectionPage::DetectionPage(QWidget* parent) : CConfigPage("Detection", parent) {}

void MySystemDialog::ApplyDetectionPage(MySystemDialog&, DetectionPage&) {}
