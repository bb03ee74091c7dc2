#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class CameraPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CameraPage(QWidget* parent = nullptr);
};
