#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class CScheduleRecordPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CScheduleRecordPage(QWidget* parent = nullptr);
};
