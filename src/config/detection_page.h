#pragma once

// The "Detection" page: the motion-detection settings of the sixteen channels (on or off, the four
// parameters LS, SS, TS and RE, the detection area) and each channel's alarm setting, edited one
// channel at a time in CDetectionEditDlg. An edit goes straight into the DVRLIVE and ALARM
// sections and marks each section it changed for the sheet's detection step.

#include <array>
#include <cstdint>

#include "config/channel_sections.h"
#include "config/list_page.h"

class DetectionPage : public CListPage {
    Q_OBJECT

public:
    explicit DetectionPage(QWidget* parent = nullptr);

    std::uint32_t m_fDvrLiveChanged = 0;
    std::uint32_t m_fAlarmChanged = 0;
    std::array<config::DetectionChannel, config::kListRows> m_Channels{};

protected:
    void OnInitDialog() override;
    void EditRow(int row) override;

private:
    // The row editor and what it changed.
    void EditChannel(int row);
    void ShowDetection(int row);
    void ShowAlarm(int row);
};
