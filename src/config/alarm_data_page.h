#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class AlarmDataPage : public CConfigPage {
    Q_OBJECT

public:
    explicit AlarmDataPage(QWidget* parent = nullptr);
};
