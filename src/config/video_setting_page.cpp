#include "config/video_setting_page.h"

CSetVortaCmdPage::CSetVortaCmdPage(QWidget* parent) : CConfigPage("Video Setting", parent) {}
