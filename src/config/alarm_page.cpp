#include "config/alarm_page.h"

#include <QGridLayout>
#include <algorithm>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "kernel/kernel_object.h"
#include "platform/byte_order.h"
#include "protocol/config_section.h"

namespace alarm_section {

namespace {

constexpr std::size_t kPostNumbersAt = 2;
constexpr std::size_t kMethodAt = 3;
constexpr std::size_t kResolutionAt = 5;
constexpr std::size_t kDurationAt = 6;

// Method bits: 1 e-mail, 2 FTP. By method before the click, the method after it.
constexpr std::array<std::uint8_t, 4> kAfterEmailClick = {1, 1, 3, 2};
constexpr std::array<std::uint8_t, 4> kAfterFtpClick = {2, 3, 2, 1};

std::uint8_t After(const std::array<std::uint8_t, 4>& table, std::uint8_t method) {
    // A method the client does not know shows no box checked: a click then starts afresh.
    return table[method < table.size() ? method : 0];
}

}  // namespace

int DurationIndex(std::uint16_t seconds) {
    const auto it = std::find(kDurations.begin(), kDurations.end(), seconds);
    return it == kDurations.end() ? -1 : static_cast<int>(it - kDurations.begin());
}

std::uint16_t DurationSeconds(int index) {
    return index >= 0 && index < static_cast<int>(kDurations.size()) ? kDurations[index]
                                                                     : kDurations[0];
}

std::uint8_t MethodAfterEmailClick(std::uint8_t method) {
    return After(kAfterEmailClick, method);
}

std::uint8_t MethodAfterFtpClick(std::uint8_t method) {
    return After(kAfterFtpClick, method);
}

bool WriteChanges(const PageValues& page, const SheetOpeningValues& saved,
                  std::span<std::uint8_t, 24> section) {
    bool changed = false;
    if (page.method != saved.alarmMethod) {
        section[kMethodAt] = page.method;
        changed = true;
    }
    if (page.imageResolution != saved.alarmImageResolution) {
        section[kResolutionAt] = page.imageResolution;
        changed = true;
    }
    // No row chosen (the device's count lies outside the list) leaves the stored count alone
    // rather than writing 0 pictures.
    if (page.postNumberIndex >= 0 &&
        static_cast<std::uint8_t>(page.postNumberIndex) != saved.alarmPostNumberIndex) {
        section[kPostNumbersAt] = static_cast<std::uint8_t>(page.postNumberIndex + 1);
        changed = true;
    }
    // Likewise a duration the list has no row for stays as the device has it until a row is
    // chosen.
    if (page.durationIndex >= 0 &&
        DurationSeconds(page.durationIndex) != saved.alarmDurationSeconds) {
        platform::PutU16(&section[kDurationAt], DurationSeconds(page.durationIndex));
        changed = true;
    }
    return changed;
}

}  // namespace alarm_section

AlarmPropertyPage::AlarmPropertyPage(QWidget* parent) : CConfigPage("Alarm", parent) {
    m_lblTrigger.setText("Alarm Trigger : ");
    m_radioEnable.setText("Enable");
    m_radioDisable.setText("Disable");
    m_lblMethod.setText("Alarm Method : ");
    m_checkEmail.setText("Email");
    m_checkFtp.setText("FTP");
    m_lblPostNumbers.setText("Post Numbers : ");
    for (int n = 1; n <= 10; ++n) {
        m_comboPostNumbers.addItem(QString::number(n));
    }
    m_lblPics.setText("Pics");
    m_lblDuration.setText("Alarm Duration : ");
    m_comboDuration.addItems(
        {"3      SEC", "15    SEC", "30    SEC", "1      MIN", "30    MIN", "AUTO"});
    m_btnAlarmRefresh.setText("Alarm\nRefresh");

    auto* layout = new QGridLayout(this);
    layout->addWidget(&m_lblTrigger, 0, 0);
    layout->addWidget(&m_radioEnable, 0, 1);
    layout->addWidget(&m_radioDisable, 0, 2);
    layout->addWidget(&m_lblMethod, 1, 0);
    layout->addWidget(&m_checkEmail, 1, 1);
    layout->addWidget(&m_checkFtp, 1, 2);
    layout->addWidget(&m_lblPostNumbers, 2, 0);
    layout->addWidget(&m_comboPostNumbers, 2, 1);
    layout->addWidget(&m_lblPics, 2, 2);
    layout->addWidget(&m_lblDuration, 3, 0);
    layout->addWidget(&m_comboDuration, 3, 1);
    layout->addWidget(&m_btnAlarmRefresh, 4, 2);
    layout->setRowStretch(5, 1);

    connect(&m_radioEnable, &QRadioButton::clicked, this, &AlarmPropertyPage::OnTriggerEnable);
    connect(&m_radioDisable, &QRadioButton::clicked, this, &AlarmPropertyPage::OnTriggerDisable);
    connect(&m_checkEmail, &QCheckBox::clicked, this, &AlarmPropertyPage::OnMethodEmail);
    connect(&m_checkFtp, &QCheckBox::clicked, this, &AlarmPropertyPage::OnMethodFtp);
    connect(&m_btnAlarmRefresh, &QPushButton::clicked, this, &AlarmPropertyPage::OnAlarmRefresh);
}

void AlarmPropertyPage::OnInitDialog() {
    const auto& section = g_lpApp->m_SysCfg.ALARM;
    const std::uint16_t seconds = platform::GetU16(&section[6]);
    m_nDurationIndex = alarm_section::DurationIndex(seconds);
    // A duration the list has no row for is still shown, as the device has it.
    m_comboDuration.setPlaceholderText(QString("%1 SEC").arg(seconds));
    m_nPostNumberIndex = section[2] > 0 ? section[2] - 1 : 0;
    m_bAlarmMethod = section[3];
    m_bImageResolution = section[5];
    ShowMethod();
    const bool enabled = m_bAlarmMethod != 0;
    m_radioEnable.setChecked(enabled);
    m_radioDisable.setChecked(!enabled);
    m_checkEmail.setEnabled(enabled);
    m_checkFtp.setEnabled(enabled);
    UpdateData(false);
}

bool AlarmPropertyPage::UpdateData(bool save) {
    config::ExchangeIndex(save, m_comboDuration, m_nDurationIndex);
    config::ExchangeIndex(save, m_comboPostNumbers, m_nPostNumberIndex);
    return true;
}

void AlarmPropertyPage::ShowMethod() {
    m_checkEmail.setChecked(m_bAlarmMethod == 1 || m_bAlarmMethod == 3);
    m_checkFtp.setChecked(m_bAlarmMethod == 2 || m_bAlarmMethod == 3);
}

void AlarmPropertyPage::OnTriggerEnable() {
    m_radioEnable.setChecked(true);
    m_bAlarmMethod = 1;
    ShowMethod();
    m_checkEmail.setEnabled(true);
    m_checkFtp.setEnabled(true);
}

void AlarmPropertyPage::OnTriggerDisable() {
    m_radioDisable.setChecked(true);
    m_bAlarmMethod = 0;
    ShowMethod();
    m_checkEmail.setEnabled(false);
    m_checkFtp.setEnabled(false);
}

void AlarmPropertyPage::OnMethodEmail() {
    m_bAlarmMethod = alarm_section::MethodAfterEmailClick(m_bAlarmMethod);
    ShowMethod();
}

void AlarmPropertyPage::OnMethodFtp() {
    m_bAlarmMethod = alarm_section::MethodAfterFtpClick(m_bAlarmMethod);
    ShowMethod();
}

void AlarmPropertyPage::OnAlarmRefresh() {
    if (m_clearAlarmFlag) {
        m_clearAlarmFlag();
    }
}
