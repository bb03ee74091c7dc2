#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class CAlarmTriggerPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CAlarmTriggerPage(QWidget* parent = nullptr);

    int m_nRemoteRecord = 0;  // preset by the main window
};
