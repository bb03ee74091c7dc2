#pragma once

// "R.E.T.R.": remote-triggered recording on or off, a connection-check address (the gateway)
// and a daily time limit. The sheet builds the page without showing it and no step sends its
// values; the main window presets the remote-record flag from the settings before the sheet
// runs.

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdint>
#include <optional>
#include <string>

#include "config/config_page.h"
#include "config/ip_address_ctrl.h"

// The value a time-limit edit shows after a keystroke: its digits as a number, at most
// `maximum`; nothing for an empty text.
std::optional<unsigned> TimeLimitFieldValue(std::string text, unsigned maximum);

class CAlarmTriggerPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr unsigned kMaxHour = 23;
    static constexpr unsigned kMaxMinute = 59;

    explicit CAlarmTriggerPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    CIPAddressCtrl m_ctlConnectionCheckIp;
    QComboBox m_ctlTimeLimitDay;
    QLineEdit m_ctlHour;
    QLineEdit m_ctlMinute;
    QRadioButton m_btnEnable;
    QRadioButton m_btnDisable;

    int m_nTimeLimitDay = -1;
    int m_nHour = 0;
    int m_nMinute = 0;
    std::uint32_t m_dwConnectionCheckIp = 0;  // 0: none
    int m_nRemoteRecord = 0;                  // preset by the main window

protected:
    void OnInitDialog() override;

private:
    void OnChangeTimeField(QLineEdit& edit, int& member, unsigned maximum);
};
