#include "config/video_setting_page.h"

#include <QGridLayout>
#include <QStringList>

#include "config/data_exchange.h"
#include "kernel/kernel_object.h"

namespace {

const QStringList kNtscResolutions = {"704 x 480", "352 x 240", "176 x 112"};
const QStringList kPalResolutions = {"704 x 576", "352 x 288", "176 x 144"};
const QStringList kVideoTypes = {"JPEG", "MPEG4"};
const QStringList kQualities = {"Low", "Middle", "High"};
const QStringList kBitRates = {"512K", "640K", "1M", "1.5M", "2M", "3M", "Local"};

constexpr std::uint8_t kTypeJpeg = 0;
constexpr std::uint8_t kTypeMpeg4 = 4;

struct SizeRow {
    std::uint16_t width;
    std::uint16_t ntscHeight;
    std::uint16_t palHeight;
};
constexpr SizeRow kSizeRows[] = {{704, 480, 576}, {352, 240, 288}, {176, 112, 144}};

// Upper bounds of the quality and bit-rate rows.
constexpr int kQualityLimits[] = {49, 69, 100};
constexpr int kBitRateLimits[] = {20, 33, 50, 67, 101, 152};

}  // namespace

int VideoResolutionRow(std::uint16_t width, std::uint16_t height) {
    for (int row = 0; row < static_cast<int>(std::size(kSizeRows)); ++row) {
        const SizeRow& size = kSizeRows[row];
        if (width == size.width && (height == size.ntscHeight || height == size.palHeight)) {
            return row;
        }
    }
    return -1;
}

int VideoQualityRow(std::uint8_t quality) {
    if (quality == 0) {
        return -1;
    }
    for (int row = 0; row < static_cast<int>(std::size(kQualityLimits)); ++row) {
        if (quality <= kQualityLimits[row]) {
            return row;
        }
    }
    return -1;
}

int VideoBitRateRow(std::uint16_t bitRate) {
    int row = 0;
    while (row < static_cast<int>(std::size(kBitRateLimits)) && bitRate > kBitRateLimits[row]) {
        ++row;
    }
    return row;
}

CSetVortaCmdPage::CSetVortaCmdPage(QWidget* parent) : CConfigPage("Video Setting", parent) {
    m_lblQuality.setText("Quality :");
    m_lblBitRate.setText("BitRate :");
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("Resolution :", this), 0, 0);
    layout->addWidget(&m_ctlResolution, 0, 1);
    layout->addWidget(new QLabel("Video Type :", this), 1, 0);
    layout->addWidget(&m_ctlVideoType, 1, 1);
    layout->addWidget(&m_lblQuality, 2, 0);
    layout->addWidget(&m_ctlQuality, 2, 1);
    layout->addWidget(&m_lblBitRate, 3, 0);
    layout->addWidget(&m_ctlBitRate, 3, 1);
    layout->setRowStretch(4, 1);
    connect(&m_ctlVideoType, &QComboBox::activated, this, &CSetVortaCmdPage::OnSelchangeVideoType);
}

void CSetVortaCmdPage::OnInitDialog() {
    const KernelObject& app = *g_lpApp;
    m_wImageWidth = app.m_wImageWidth;
    m_wImageHeight = app.m_wImageHeight;

    const std::pair<QComboBox*, const QStringList*> lists[] = {
        {&m_ctlResolution, app.m_bVideoMode == 1 ? &kPalResolutions : &kNtscResolutions},
        {&m_ctlVideoType, &kVideoTypes},
        {&m_ctlQuality, &kQualities},
        {&m_ctlBitRate, &kBitRates},
    };
    for (const auto& [combo, rows] : lists) {
        combo->clear();
        combo->addItems(*rows);
    }

    const VideoSettingBlock& block = app.m_VideoSetting;
    m_nResolutionIndex = VideoResolutionRow(m_wImageWidth, m_wImageHeight);
    if (const int row = VideoQualityRow(block.quality); row >= 0) {
        m_nQualityIndex = row;
    }
    m_nBitRateIndex = VideoBitRateRow(block.bitRate);
    if (block.type == kTypeJpeg) {
        m_nVideoTypeIndex = kJpegRow;
    } else if (block.type == kTypeMpeg4) {
        m_nVideoTypeIndex = kMpeg4Row;
    }
    ShowSettingsOfType();
    UpdateData(false);
}

bool CSetVortaCmdPage::UpdateData(bool save) {
    config::ExchangeIndex(save, m_ctlResolution, m_nResolutionIndex);
    config::ExchangeIndex(save, m_ctlVideoType, m_nVideoTypeIndex);
    config::ExchangeIndex(save, m_ctlQuality, m_nQualityIndex);
    config::ExchangeIndex(save, m_ctlBitRate, m_nBitRateIndex);
    return true;
}

void CSetVortaCmdPage::OnSelchangeVideoType() {
    UpdateData(true);
    ShowSettingsOfType();
}

void CSetVortaCmdPage::ShowSettingsOfType() {
    if (m_nVideoTypeIndex != kJpegRow && m_nVideoTypeIndex != kMpeg4Row) {
        return;
    }
    const bool jpeg = m_nVideoTypeIndex == kJpegRow;
    m_lblQuality.setVisible(jpeg);
    m_ctlQuality.setVisible(jpeg);
    m_lblBitRate.setVisible(!jpeg);
    m_ctlBitRate.setVisible(!jpeg);
}
