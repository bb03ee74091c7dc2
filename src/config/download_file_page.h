#pragma once

// TODO(helper): what this file holds.

#include <cstdint>
#include <string>

#include "config/config_page.h"

class DownloadFilePage : public CConfigPage {
    Q_OBJECT

public:
    explicit DownloadFilePage(QWidget* parent = nullptr);

    std::uint32_t m_fPathChosen = 0;
    std::string m_strFilePath;
};
