#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class CSetVortaCmdPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CSetVortaCmdPage(QWidget* parent = nullptr);
};
