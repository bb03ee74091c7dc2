#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class DetectionPage : public CConfigPage {
    Q_OBJECT

public:
    explicit DetectionPage(QWidget* parent = nullptr);
};
