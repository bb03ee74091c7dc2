#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class CDNSPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CDNSPage(QWidget* parent = nullptr);

    std::uint8_t m_bDdnsEnable = 0;
};

class CSNTPPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CSNTPPage(QWidget* parent = nullptr);
};
