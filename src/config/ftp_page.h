#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class FTPPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit FTPPropertyPage(QWidget* parent = nullptr);
};
