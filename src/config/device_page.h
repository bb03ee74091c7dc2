#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class DevicePage : public CConfigPage {
    Q_OBJECT

public:
    explicit DevicePage(QWidget* parent = nullptr);
};
