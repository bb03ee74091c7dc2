#pragma once

// "Video Setting": the stream format of the device (video type, resolution, JPEG quality, MPEG4
// bit rate) as the client's video-setting block holds it. The sheet builds the page without
// showing it, and nothing takes its choices anywhere.

#include <QComboBox>
#include <QLabel>
#include <cstdint>

#include "config/config_page.h"

// The list rows that describe a picture size, a JPEG quality and a bit rate; -1 when none does.
int VideoResolutionRow(std::uint16_t width, std::uint16_t height);
int VideoQualityRow(std::uint8_t quality);
int VideoBitRateRow(std::uint16_t bitRate);

class CSetVortaCmdPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr int kJpegRow = 0;
    static constexpr int kMpeg4Row = 1;

    explicit CSetVortaCmdPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;
    void OnSelchangeVideoType();

    QComboBox m_ctlResolution;
    QComboBox m_ctlVideoType;
    QComboBox m_ctlQuality;
    QComboBox m_ctlBitRate;
    QLabel m_lblQuality;
    QLabel m_lblBitRate;

    int m_nResolutionIndex = -1;
    int m_nVideoTypeIndex = -1;
    int m_nQualityIndex = -1;
    int m_nBitRateIndex = -1;
    std::uint16_t m_wImageWidth = 0;
    std::uint16_t m_wImageHeight = 0;

protected:
    void OnInitDialog() override;

private:
    // The quality pair for JPEG, the bit-rate pair for MPEG4; other rows change nothing.
    void ShowSettingsOfType();
};
