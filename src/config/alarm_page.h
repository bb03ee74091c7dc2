#pragma once

// "Alarm": how the device reacts to an alarm (trigger on or off, pictures by e-mail, FTP or both,
// how many pictures, how long the alarm lasts), kept in the ALARM section, and a button that
// resets the client's own latched alarm state so the next alarm in the live stream counts as new.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "config/config_page.h"

struct SheetOpeningValues;

namespace alarm_section {

// Seconds by duration row; 65535 is AUTO.
inline constexpr std::array<std::uint16_t, 6> kDurations = {3, 15, 30, 60, 1800, 65535};

// The row the page shows for a stored duration; -1 (no row) for a value the list does not hold.
int DurationIndex(std::uint16_t seconds);
// The seconds stored for a row; a row outside the list stores the first duration.
std::uint16_t DurationSeconds(int index);

// The alarm method after a click on the e-mail or the FTP box: a click never leaves both boxes
// clear while the trigger is on.
std::uint8_t MethodAfterEmailClick(std::uint8_t method);
std::uint8_t MethodAfterFtpClick(std::uint8_t method);

// What the page holds for the section.
struct PageValues {
    std::uint8_t method = 0;
    std::uint8_t imageResolution = 0;
    int postNumberIndex = -1;
    int durationIndex = -1;
};
// Writes the values that differ from the sheet's opening copy into ALARM; true when any did.
bool WriteChanges(const PageValues& page, const SheetOpeningValues& saved,
                  std::span<std::uint8_t, 24> section);

}  // namespace alarm_section

class AlarmPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit AlarmPropertyPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    void OnTriggerEnable();
    void OnTriggerDisable();
    void OnMethodEmail();
    void OnMethodFtp();
    void OnAlarmRefresh();

    int m_nDurationIndex = -1;
    int m_nPostNumberIndex = -1;
    std::uint8_t m_bImageResolution = 3;
    std::uint8_t m_bAlarmMethod = 1;
    std::uint8_t m_bAlarmRecord = 0;  // preset by the main window, taken back after APPLY

    // Clears the live stream's latched alarm flag (1 when one was set); the main window sets it
    // before the sheet runs. Empty: there is no stream whose flag could be cleared.
    std::function<std::uint32_t()> m_clearAlarmFlag;

    QLabel m_lblTrigger;
    QRadioButton m_radioEnable;
    QRadioButton m_radioDisable;
    QLabel m_lblMethod;
    QCheckBox m_checkEmail;
    QCheckBox m_checkFtp;
    QLabel m_lblPostNumbers;
    QComboBox m_comboPostNumbers;
    QLabel m_lblPics;
    QLabel m_lblDuration;
    QComboBox m_comboDuration;
    QPushButton m_btnAlarmRefresh;

protected:
    void OnInitDialog() override;

private:
    void ShowMethod();
};
