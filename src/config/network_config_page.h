#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class NetworkConfigPage : public CConfigPage {
    Q_OBJECT

public:
    explicit NetworkConfigPage(QWidget* parent = nullptr);

    std::uint8_t m_bConnectionType = 0;  // 0 static IP, 1 PPPoE, 2 DHCP
};
