#include "config/tool_box_page.h"

#include <QGridLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "config/data_exchange.h"
#include "kernel/kernel_object.h"
#include "kernel/utilities.h"
#include "platform/thread.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

// A reader still in a request when it is told to stop is woken at once; this bounds the wait.
constexpr std::uint32_t kLogThreadStopMs = 110;
constexpr int kTurboSteps = 10;
constexpr const char* kLogNotRead = "The event log could not be read: ";
constexpr const char* kLogEmpty = "The device's event log holds no entries.";

// Character i of a text, or the NUL that ends it.
char At(const std::string& text, std::size_t i) {
    return i < text.size() ? text[i] : '\0';
}

// The two texts of the button: idle, then reading.
std::pair<QString, QString> ServerLogButtonTexts() {
    const std::string texts = ui::LoadString(ui::texts::kServerLogButtonTexts);
    const std::size_t split = texts.find('$');
    return {QString::fromStdString(texts.substr(0, split)),
            QString::fromStdString(split == std::string::npos ? "" : texts.substr(split + 1))};
}

}  // namespace

std::string CombinedVersionText(const std::string& firmware, const std::string& boot,
                                const std::string& codec, const std::string& fpga) {
    // A %c of a missing character writes the NUL that ends the text, as the format has always
    // done.
    std::string text(16 + fpga.size(), '\0');
    std::snprintf(text.data(), text.size(), "%c%c%c%c-%c%c-%c%c-%s", At(firmware, 0),
                  At(firmware, 1), At(firmware, 2), At(firmware, 3), At(boot, 0), At(boot, 1),
                  At(codec, 0), At(codec, 1), fpga.c_str());
    return text.c_str();
}

std::string MacAddressText(const std::array<std::uint8_t, 12>& mac) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%c%c:%c%c:%c%c:%c%c:%c%c:%c%c", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5], mac[6], mac[7], mac[8], mac[9], mac[10], mac[11]);
    return text;
}

ToolBoxPropertyPage::ToolBoxPropertyPage(QWidget* parent)
    : CConfigPage("ToolBox", parent),
      m_hLogStopEvent(platform::CreateEventObject(false, false)),
      m_lpLogBuffer(std::make_unique<ServerLogEntry[]>(kServerLogCapacity)) {
    for (int step = 1; step <= kTurboSteps; ++step) {
        m_comboTurboStep.addItem(QString::number(step));
    }
    m_btnServerLog.setText(ServerLogButtonTexts().first);
    m_ctlProgress.setRange(0, 100);
    m_ctlProgress.hide();
    // The device writes these texts: shown as written, never as markup.
    m_staticVersion.setTextFormat(Qt::PlainText);
    m_staticMacAddress.setTextFormat(Qt::PlainText);

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const char* label, QWidget& control) {
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(&control, row++, 1);
    };
    config::FitEditToValue(m_editMaxLogList, 4);
    m_comboTurboStep.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    addRow("Firmware Version:", m_staticVersion);
    addRow("Turbo step :", m_comboTurboStep);
    addRow("Mac address :", m_staticMacAddress);
    addRow("MAX LOG LIST :", m_editMaxLogList);
    grid->addWidget(&m_btnServerLog, row++, 1);
    grid->addWidget(&m_ctlProgress, row++, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();

    // The main window reads the turbo step back after APPLY, which may come while this page is
    // still shown: a choice is taken at once.
    connect(&m_comboTurboStep, &QComboBox::activated, this,
            [this](int index) { m_nTurboStep = index; });
    connect(&m_btnServerLog, &QPushButton::clicked, this, [this] { OnServerLogButton(); });
    connect(&m_editMaxLogList, &QLineEdit::textEdited, this, [this] { OnChangeMaxLogList(); });
}

ToolBoxPropertyPage::~ToolBoxPropertyPage() {
    StopLogThread();
    platform::CloseObject(m_hLogStopEvent);
}

void ToolBoxPropertyPage::OnInitDialog() {
    KernelObject& app = *g_lpApp;
    m_strVersion = CombinedVersionText(app.m_strFirmwareVersion, app.m_strBootVersion,
                                       app.m_strCodecVersion, app.m_strFPGAVersion);
    m_strFirmwareFile = app.CSettingINI.m_strUpgradeFWPath;
    const int keyMode = app.m_bKeyMode;
    if (keyMode >= 1 && keyMode <= kTurboSteps) {
        m_nTurboStep = keyMode - 1;
    }
    m_strMacAddress = MacAddressText(app.m_DeviceID[0].bytes);
    UpdateData(false);
}

bool ToolBoxPropertyPage::UpdateData(bool save) {
    if (!save) {
        m_staticVersion.setText(QString::fromStdString(m_strVersion));
        m_staticMacAddress.setText(QString::fromStdString(m_strMacAddress));
    }
    config::ExchangeIndex(save, m_comboTurboStep, m_nTurboStep);
    return config::ExchangeInt(save, m_editMaxLogList, m_nMaxLogList, 0, kMaxLogListLimit);
}

bool ToolBoxPropertyPage::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    static constexpr ui::MessageMapEntry<ToolBoxPropertyPage> kMessageMap[] = {
        {ui::WM_SERVERLOGRESULT, &ToolBoxPropertyPage::OnServerLogResult},
        {WM_SERVERLOGPROGRESS, &ToolBoxPropertyPage::OnServerLogProgress},
    };
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

void ToolBoxPropertyPage::OnServerLogButton() {
    if (m_nLogState == kIdle) {
        // A refused MAX LOG LIST has shown its prompt; reading with the old value would be a
        // surprise.
        if (!UpdateData(true)) {
            return;
        }
        m_btnServerLog.setText(ServerLogButtonTexts().second);
        m_ctlProgress.setValue(0);
        m_ctlProgress.show();
        StopLogThread();
        // A stop left set by the last reading must not stop the next one.
        platform::CloseObject(m_hLogStopEvent);
        m_hLogStopEvent = platform::CreateEventObject(false, false);
        m_strLogFailure.clear();
        const ServerLogThreadParam param{Handle(),     m_hLogStopEvent,  m_lpLogBuffer.get(),
                                         &m_nLogCount, &m_strLogFailure, m_nMaxLogList,
                                         ++m_nReading};
        m_hLogThread = platform::StartThread([param] { return GetServerLogThread(param); });
        m_nLogState = kReading;
        if (!m_hLogThread) {
            ShowIdle();
            ui::ShowMessage(std::string(kLogNotRead) + "its reader could not be started.");
        }
    } else if (m_nLogState == kReading) {
        StopLogThread();
        ShowIdle();
    }
}

void ToolBoxPropertyPage::OnServerLogResult(ui::WPARAM wParam, ui::LPARAM lParam) {
    if (m_nLogState != kReading || lParam != m_nReading) {
        return;
    }
    if (wParam != kServerLogDone && wParam != kServerLogEmpty && wParam != kServerLogFailed) {
        return;
    }
    // The reader has posted its last message; it is joined before anyone reads its buffer.
    StopLogThread();
    if (wParam == kServerLogDone) {
        CServerLogDlg dialog;
        dialog.plogList = m_lpLogBuffer.get();
        dialog.m_nLogCount = m_nLogCount;
        dialog.DoModal();
    }
    ShowIdle();
    if (wParam == kServerLogEmpty) {
        ui::ShowMessage(kLogEmpty);
    } else if (wParam == kServerLogFailed) {
        ui::ShowMessage(kLogNotRead + m_strLogFailure + ".");
    }
}

void ToolBoxPropertyPage::OnServerLogProgress(ui::WPARAM wParam, ui::LPARAM lParam) {
    if (m_nLogState == kReading && lParam == m_nReading) {
        m_ctlProgress.setValue(static_cast<int>(std::min<ui::WPARAM>(wParam, 100)));
    }
}

void ToolBoxPropertyPage::OnChangeMaxLogList() {
    std::string text = m_editMaxLogList.text().toStdString();
    if (text.empty()) {
        return;
    }
    FilterDigitInput(&text, 1);
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return;
    }
    long long value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), kMaxLogListLimit + 1);
    }
    m_nMaxLogList = static_cast<int>(std::min<long long>(value, kMaxLogListLimit));
    // Only the edit: the other controls keep what the user has chosen but not yet saved.
    m_editMaxLogList.setText(QString::number(m_nMaxLogList));
}

void ToolBoxPropertyPage::StopLogThread() {
    platform::SetEvent(m_hLogStopEvent);
    platform::StopThread(m_hLogThread, kLogThreadStopMs);
}

void ToolBoxPropertyPage::ShowIdle() {
    m_btnServerLog.setText(ServerLogButtonTexts().first);
    m_ctlProgress.setValue(0);
    m_ctlProgress.hide();
    m_nLogState = kIdle;
}
