#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class AlarmPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit AlarmPropertyPage(QWidget* parent = nullptr);

    std::uint8_t m_bAlarmRecord = 0;  // preset by the main window
};
