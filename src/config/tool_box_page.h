#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class ToolBoxPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit ToolBoxPropertyPage(QWidget* parent = nullptr);

    std::string m_strFirmwareFile;  // preset by the main window
    int m_nTurboStep = 0;
};
