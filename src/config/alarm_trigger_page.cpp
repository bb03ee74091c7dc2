#include "config/alarm_trigger_page.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <algorithm>
#include <climits>

#include "config/data_exchange.h"
#include "kernel/utilities.h"

namespace {

constexpr const char* kTimeLimitDays[] = {"DAILY", "OFF", "MON", "TUE", "WED",
                                          "THU",   "FRI", "SAT", "SUN"};

}  // namespace

std::optional<unsigned> TimeLimitFieldValue(std::string text, unsigned maximum) {
    if (text.empty()) {
        return std::nullopt;
    }
    FilterDigitInput(&text, 1);
    // A long run of digits is simply too big; it must not wrap round to a small number.
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min(value * 10 + static_cast<unsigned>(c - '0'), maximum + 1);
    }
    return std::min(value, maximum);
}

CAlarmTriggerPage::CAlarmTriggerPage(QWidget* parent) : CConfigPage("R.E.T.R.", parent) {
    for (const char* day : kTimeLimitDays) {
        m_ctlTimeLimitDay.addItem(day);
    }
    m_ctlTimeLimitDay.setCurrentIndex(-1);
    m_btnEnable.setText("Enable");
    m_btnDisable.setText("Disable");
    auto* remoteRecord = new QButtonGroup(this);
    remoteRecord->addButton(&m_btnEnable);
    remoteRecord->addButton(&m_btnDisable);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("Connection Check IP :\n(GATEWAY)", this), 0, 0);
    layout->addWidget(&m_ctlConnectionCheckIp, 0, 1, 1, 4);
    layout->addWidget(new QLabel("Remote Record :", this), 1, 0);
    layout->addWidget(&m_btnEnable, 1, 1);
    layout->addWidget(&m_btnDisable, 1, 2);
    layout->addWidget(new QLabel("R.E.T.R :  \nTime Limit ", this), 2, 0);
    layout->addWidget(&m_ctlTimeLimitDay, 2, 1);
    layout->addWidget(&m_ctlHour, 2, 2);
    layout->addWidget(new QLabel(":", this), 2, 3);
    layout->addWidget(&m_ctlMinute, 2, 4);
    layout->setRowStretch(3, 1);

    connect(&m_btnEnable, &QRadioButton::clicked, this, [this] { m_nRemoteRecord = 1; });
    connect(&m_btnDisable, &QRadioButton::clicked, this, [this] { m_nRemoteRecord = 0; });
    connect(&m_ctlHour, &QLineEdit::textEdited, this,
            [this] { OnChangeTimeField(m_ctlHour, m_nHour, kMaxHour); });
    connect(&m_ctlMinute, &QLineEdit::textEdited, this,
            [this] { OnChangeTimeField(m_ctlMinute, m_nMinute, kMaxMinute); });
}

void CAlarmTriggerPage::OnInitDialog() {
    if (m_dwConnectionCheckIp != 0) {
        m_ctlConnectionCheckIp.SetAddress(m_dwConnectionCheckIp);
    }
    (m_nRemoteRecord != 0 ? m_btnEnable : m_btnDisable).setChecked(true);
    UpdateData(false);
}

bool CAlarmTriggerPage::UpdateData(bool save) {
    config::ExchangeIndex(save, m_ctlTimeLimitDay, m_nTimeLimitDay);
    return config::ExchangeInt(save, m_ctlHour, m_nHour, 0, INT_MAX) &&
           config::ExchangeInt(save, m_ctlMinute, m_nMinute, 0, INT_MAX);
}

void CAlarmTriggerPage::OnChangeTimeField(QLineEdit& edit, int& member, unsigned maximum) {
    const std::optional<unsigned> value = TimeLimitFieldValue(edit.text().toStdString(), maximum);
    if (!value) {
        return;
    }
    member = static_cast<int>(*value);
    edit.setText(QString::number(*value));
}
