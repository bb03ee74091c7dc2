#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class CPeripheralPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CPeripheralPage(QWidget* parent = nullptr);
};

class CXr2Peripheral : public CConfigPage {
    Q_OBJECT

public:
    explicit CXr2Peripheral(QWidget* parent = nullptr);
};
