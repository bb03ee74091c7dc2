#include "config/tool_box_page.h"

ToolBoxPropertyPage::ToolBoxPropertyPage(QWidget* parent) : CConfigPage("ToolBox", parent) {}
