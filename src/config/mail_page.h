#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class MailPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit MailPropertyPage(QWidget* parent = nullptr);
};
