#pragma once

// The "ToolBox" page: the device's versions and MAC address, the PTZ turbo step, and the device's
// event log. "Server Log" starts a reader thread that fetches the log into the page's buffer and
// reports back with WM_SERVERLOGRESULT; the page then shows the entries in the log dialog, or
// tells that the device holds none or why they could not be read. The same button cancels a
// reading under way. The main window presets the firmware path and the
// turbo step before the sheet runs and takes both back after an apply.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "config/config_page.h"
#include "config/server_log_dlg.h"
#include "platform/sync.h"
#include "ui/window_message.h"

// "%c%c%c%c-%c%c-%c%c-%s" of the firmware, boot and codec versions' first characters and the whole
// FPGA version; a version shorter than the characters taken from it ends the text there.
std::string CombinedVersionText(const std::string& firmware, const std::string& boot,
                                const std::string& codec, const std::string& fpga);
// The twelve MAC characters as "%c%c:%c%c:..." writes them; the text ends at the first NUL.
std::string MacAddressText(const std::array<std::uint8_t, 12>& mac);

class ToolBoxPropertyPage : public CConfigPage, public ui::MessageWindow {
    Q_OBJECT

public:
    static constexpr int kIdle = 2;
    static constexpr int kReading = 1;
    static constexpr int kMaxLogListLimit = kServerLogCapacity;

    explicit ToolBoxPropertyPage(QWidget* parent = nullptr);
    ~ToolBoxPropertyPage() override;

    bool UpdateData(bool save) override;
    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    void OnServerLogButton();
    void OnServerLogResult(ui::WPARAM wParam, ui::LPARAM lParam);
    void OnServerLogProgress(ui::WPARAM wParam, ui::LPARAM lParam);
    void OnChangeMaxLogList();

    QLabel m_staticVersion;
    QComboBox m_comboTurboStep;
    QLabel m_staticMacAddress;
    QPushButton m_btnServerLog;
    QLineEdit m_editMaxLogList;
    QProgressBar m_ctlProgress;

    std::string m_strFirmwareFile = "Unknown";  // preset by the main window, taken back after apply
    std::string m_strVersion = "0.8.0.0";
    int m_nTurboStep = -1;  // index 0..9 is turbo step 1..10
    std::string m_strMacAddress;
    int m_nMaxLogList = 300;

    platform::HandleField m_hLogThread;
    platform::Handle m_hLogStopEvent;
    int m_nLogState = kIdle;
    std::unique_ptr<ServerLogEntry[]> m_lpLogBuffer;
    int m_nLogCount = 0;
    // Why the last reading failed; the reader writes it, the page reads it once it is joined.
    std::string m_strLogFailure;

protected:
    void OnInitDialog() override;

private:
    void StopLogThread();
    void ShowIdle();

    // Numbers the readings; a message of a reading that was cancelled or replaced is dropped.
    ui::LPARAM m_nReading = 0;
};
