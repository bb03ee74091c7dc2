#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class COnlineUserPage : public CConfigPage {
    Q_OBJECT

public:
    explicit COnlineUserPage(QWidget* parent = nullptr);
};
