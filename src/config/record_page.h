#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class RecordPage : public CConfigPage {
    Q_OBJECT

public:
    explicit RecordPage(QWidget* parent = nullptr);

    std::string m_strRecordPath;
    std::string m_strSnapshotPath;
    std::string m_strAlarmWavPath;
};
