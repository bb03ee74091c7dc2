#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class AccountPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit AccountPropertyPage(QWidget* parent = nullptr);
};
