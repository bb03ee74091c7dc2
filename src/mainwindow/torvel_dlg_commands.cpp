// The main window's commands: the tables that route button clicks and posted messages, the
// waiting for the device while a command runs, and the session commands of the command buttons
// (connect, snapshot, record, resolution, quality, picture adjust, system setting, power and
// R.E.T.R.).

#include <QApplication>
#include <filesystem>

#include "config/my_system_dialog.h"
#include "config/video_adjust_dlg.h"
#include "kernel/kernel_object.h"
#include "mainwindow/ptz_commands.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/clock.h"
#include "protocol/cgi_request.h"
#include "protocol/config_section.h"
#include "recording/recorder_set.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"
#include "video/live_pipeline.h"

namespace {

constexpr int kResolutionButton = 1;
constexpr int kQualityButton = 2;

// Message-box texts.

}  // namespace

// The last column: the command talks to the device, so it waits while another one runs.
const CTorvelDlg::CommandEntry CTorvelDlg::kCommandMap[] = {
    {1001, 1001, &CTorvelDlg::OnNothing, false},
    {1002, 1002, &CTorvelDlg::OnLogin, true},
    {1003, 1003, &CTorvelDlg::OnPictureAdjust, true},
    {1004, 1004, &CTorvelDlg::OnSnapshoot, false},
    {1005, 1005, &CTorvelDlg::OnRecord, false},
    {1006, 1006, &CTorvelDlg::OnSystemConfig, true},
    {1007, 1007, &CTorvelDlg::OnResol, true},
    {1008, 1008, &CTorvelDlg::OnQuility, true},
    {1198, 1198, &CTorvelDlg::OnNothing, false},
    {8192, 8192, &CTorvelDlg::OnCameraToolButton, false},
    {8193, 8193, &CTorvelDlg::OnCameraToolButtonDown, false},
    {8200, 8200, &CTorvelDlg::OnMinimize, false},
    {8201, 8201, &CTorvelDlg::OnFullScreenButton, false},
    {8202, 8202, &CTorvelDlg::OnCloseButton, false},
    {8203, 8203, &CTorvelDlg::OnNothing, false},
    {8220, 8220, &CTorvelDlg::OnKeyButton, true},
    {8222, 8232, &CTorvelDlg::OnKeyButton, true},
    {8240, 8244, &CTorvelDlg::OnKeyButton, true},
    {8250, 8265, &CTorvelDlg::OnKeyButton, true},
    {8271, 8273, &CTorvelDlg::OnKeyButton, true},
    {8280, 8292, &CTorvelDlg::OnKeyButton, true},
    {8310, 8310, &CTorvelDlg::OnTurbo, false},
    {8311, 8311, &CTorvelDlg::OnPower, true},
    {8312, 8312, &CTorvelDlg::OnPtzControl, true},
    {8313, 8314, &CTorvelDlg::OnKeyButton, true},
    {8321, 8328, &CTorvelDlg::OnKeyButton, true},
    {8331, 8331, &CTorvelDlg::OnRetr, true},
    {8350, 8351, &CTorvelDlg::OnKeyButton, true},
    {8352, 8352, &CTorvelDlg::OnHotPointButton, false},
    {8353, 8355, &CTorvelDlg::OnKeyButton, true},
    {8410, 8426, &CTorvelDlg::OnChannelButton, false},
    {8427, 8427, &CTorvelDlg::OnChannelLeft, false},
    {8428, 8428, &CTorvelDlg::OnChannelRight, false},
    {32773, 32773, &CTorvelDlg::OnFitScreen, false},
    {32781, 32781, &CTorvelDlg::OnRetr, true},
    {32782, 32782, &CTorvelDlg::OnHotPointButton, false},
};

const ui::MessageMapEntry<CTorvelDlg> CTorvelDlg::kMessageMap[] = {
    {ui::WM_POSTALARMAUDIO, &CTorvelDlg::OnPostAlarmAudio},
    {ui::WM_RECORDON, &CTorvelDlg::OnRecordOn},
    {ui::WM_RELOGIN, &CTorvelDlg::OnRelogin},
    {0x405, &CTorvelDlg::OnNoOpMessage},
    {0x407, &CTorvelDlg::OnNoOpMessage},
    {0x408, &CTorvelDlg::OnNoOpMessage},
    {0x409, &CTorvelDlg::OnNoOpMessage},
    {ui::WM_HOTPOINTCLICK, &CTorvelDlg::OnHotPointClick},
    {ui::WM_PTZCONTROLRELEASED, &CTorvelDlg::OnPtzControlReleased},
    {ui::WM_LIFETIMEEXPIRED, &CTorvelDlg::OnLifeTimeExpired},
    {ui::WM_SHOWSTATUS, &CTorvelDlg::OnShowStatus},
};

void CTorvelDlg::ConnectButtons() {
    for (ui::CVtxButton* button : AllButtons()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { OnCommand(button->GetDlgCtrlID()); });
    }
    m_wndVideo.setAttribute(Qt::WA_TransparentForMouseEvents);
    qApp->installEventFilter(this);
}

bool CTorvelDlg::OnCommand(int controlId) {
    for (const CommandEntry& entry : kCommandMap) {
        if (controlId >= entry.first && controlId <= entry.last) {
            if (!(entry.device && IsWaitingForDevice())) {
                (this->*entry.handler)(controlId);
            }
            return true;
        }
    }
    return false;
}

bool CTorvelDlg::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

void CTorvelDlg::RunDeviceCommand(std::function<void()> work, std::function<void()> done) {
    if (m_runner.Start(std::move(work), [this, done] {
            EndWait();
            if (done) {
                done();
            }
        })) {
        BeginWait();
    }
}

void CTorvelDlg::BeginWait() {
    if (!m_bWaiting) {
        m_bWaiting = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    m_waitNotice.start();
}

void CTorvelDlg::EndWait() {
    m_waitNotice.stop();
    if (m_bWaiting) {
        m_bWaiting = false;
        QApplication::restoreOverrideCursor();
    }
    if (m_bWaitNoticeShown) {
        m_bWaitNoticeShown = false;
        ShowStatus(m_strStatusBeforeWait);
    }
}

void CTorvelDlg::ShowWaitNotice() {
    if (m_bFullScreen) {
        return;
    }
    EndNotice();
    m_strStatusBeforeWait = m_strStatus;
    ShowStatus(kWaitingText);
    m_bWaitNoticeShown = true;
}

void CTorvelDlg::ShowOutcome(const CommandOutcome& outcome) {
    if (outcome.message != 0) {
        ui::ShowMessage(outcome.message);
    }
}

void CTorvelDlg::OnLogin(int) {
    if (g_lpApp->m_fConnected == 0) {
        RunDeviceCommand<bool>(&SessionCommands::StartRelogin,
                               [this](bool started) { ShowConnecting(started); });
        return;
    }
    ShowDisconnecting();
    RunDeviceCommand(&SessionCommands::Disconnect, [this] { ShowDisconnected(); });
}

void CTorvelDlg::OnRelogin(ui::WPARAM, ui::LPARAM) {
    if (m_runner.Busy()) {
        return;
    }
    const std::uint32_t pause = platform::GetTickCount() % 2'000;
    const bool connected = g_lpApp->m_fConnected != 0;
    if (connected) {
        ShowDisconnecting();
    }
    // The disconnect and the connect that follows it are one command: nothing can slip between.
    RunDeviceCommand<bool>(
        [pause, connected] {
            platform::Sleep(pause);
            if (connected) {
                SessionCommands::Disconnect();
            }
            return SessionCommands::StartRelogin();
        },
        [this, connected](bool started) {
            if (connected) {
                ShowDisconnected();
            }
            ShowConnecting(started);
        });
}

void CTorvelDlg::ShowConnecting(bool started) {
    if (started) {
        ShowStatus("CONNECT!!");
        m_btnCommand[0].SetImageIndex(0);
    }
}

void CTorvelDlg::ShowDisconnecting() {
    m_btnCommand[0].SetImageIndex(1);
    ShowStatus("DISCONNECT!!");
}

void CTorvelDlg::ShowDisconnected() {
    m_strStatus2.clear();
    m_strIndicator.clear();
    RepaintStatusLine();
}

void CTorvelDlg::OnSnapshoot(int) {
    if (g_lpApp->m_fVideoReady == 0) {
        ui::ShowMessage(ui::texts::kConnectFirst);
        return;
    }
    g_lpApp->m_fSnapshotRequest = 1;
}

void CTorvelDlg::OnRecord(int) {
    recording::CUserRecord& record = m_services.recorders.m_UserRecord;
    ui::CVtxButton& button = m_btnCommand[kRecordButton];
    if (record.IsRecording()) {
        // Stopping needs no stream: a recording that outlived its session is closed all the same.
        button.setToolTip(QString::fromStdString(TipWord(1005, 0)));
        button.SetImageIndex(0);
        record.StopRecord();
        return;
    }
    if (g_lpApp->m_fVideoReady == 0) {
        ui::ShowMessage(ui::texts::kConnectFirst);
        return;
    }
    button.setToolTip(QString::fromStdString(TipWord(1005, 1)));
    button.SetImageIndex(1);
    if (record.StartRecord(g_lpApp->CSettingINI.m_strRecordPath) == 0) {
        // The recorder has told the user why; the button must not claim a recording.
        button.setToolTip(QString::fromStdString(TipWord(1005, 0)));
        button.SetImageIndex(0);
    }
}

void CTorvelDlg::ChangeStreamSetting(std::uint8_t command, const char* name,
                                     SharedSetting<std::uint32_t>& index, std::uint32_t next,
                                     int buttonIndex, std::uint32_t failureText) {
    const std::uint32_t old = index;
    index = next;
    RunDeviceCommand<CommandOutcome>(
        [command, name, next, failureText] {
            return SessionCommands::SendStreamSetting(command, name, next, failureText);
        },
        [this, &index, old, next, buttonIndex](CommandOutcome outcome) {
            if (!outcome.ok) {
                index = old;
            }
            m_btnCommand[buttonIndex].SetImageIndex(static_cast<int>(outcome.ok ? next : old));
            ShowOutcome(outcome);
        });
}

void CTorvelDlg::OnResol(int) {
    SharedSetting<std::uint32_t>& resolution = g_lpApp->CSettingINI.m_nResolution;
    // Only 0 and 1 are offered; any other stored value starts over at 0.
    ChangeStreamSetting(CGI_SETRESOLUTION, "RES", resolution, resolution == 0 ? 1 : 0,
                        kResolutionButton, ui::texts::kResolutionFailed);
}

void CTorvelDlg::OnQuility(int) {
    SharedSetting<std::uint32_t>& quality = g_lpApp->CSettingINI.m_nQuality;
    ChangeStreamSetting(CGI_SETQUALITY, "QUA", quality, (quality + 1) % 3, kQualityButton,
                        ui::texts::kQualityFailed);
}

void CTorvelDlg::OnPictureAdjust(int) {
    if (g_lpApp->m_fVideoReady == 0) {
        ui::ShowMessage(ui::texts::kConnectFirst);
        return;
    }
    RunDeviceCommand<CommandOutcome>(
        &SessionCommands::FetchImageSection, [this](CommandOutcome outcome) {
            if (!outcome.ok) {
                ShowOutcome(outcome);
                return;
            }
            CVideoAdjustDlg dialog;
            const auto& block = g_lpApp->m_SysCfg.IMG;
            for (int row = 0; row < CVideoAdjustDlg::kRows; ++row) {
                dialog.m_nCurrent[row] = block[CVideoAdjustDlg::kFirstImgByte + row];
            }
            dialog.DoModal();
        });
}

void CTorvelDlg::OnSystemConfig(int) {
    if (g_lpApp->m_fVideoReady == 0) {
        ui::ShowMessage(ui::texts::kConnectFirst);
        return;
    }
    RunDeviceCommand<CommandOutcome>(&SessionCommands::FetchSheetSections,
                                     [this](CommandOutcome outcome) {
                                         if (outcome.ok) {
                                             RunSystemSheet();
                                         } else {
                                             ShowOutcome(outcome);
                                         }
                                     });
}

void CTorvelDlg::RunSystemSheet() {
    KernelObject& app = *g_lpApp;
    SysCfgBlocks& cfg = app.m_SysCfg;
    MySystemDialog sheet(QString::fromStdString(ui::LoadString(ui::texts::kSystemSettingCaption)),
                         this, 0);
    CSettingINI& settings = app.CSettingINI;
    sheet.m_RecordPage.m_strRecordPath = settings.m_strRecordPath;
    sheet.m_RecordPage.m_strSnapshotPath = settings.m_strSnapshotPath;
    sheet.m_RecordPage.m_strAlarmWavPath = settings.m_strTriggerWavPath;
    sheet.m_ToolBoxPage.m_strFirmwareFile = settings.m_strUpgradeFWPath;
    sheet.m_ToolBoxPage.m_nTurboStep = app.m_bKeyMode - 1;
    sheet.m_AlarmPage.m_bAlarmRecord = settings.m_bAlarmTriggerRecord;
    sheet.m_AlarmTriggerPage.m_nRemoteRecord = settings.m_bRetrAlarmRecord;
    sheet.m_ScheduleRecordPage.m_pSchRecord = &m_services.recorders.m_SchRecord;
    sheet.m_AlarmPage.m_clearAlarmFlag = [this] {
        return m_services.pipeline.Parser().ClearAlarmFlag();
    };
    if (sheet.DoModal() != MySystemDialog::kResultApplied) {
        return;
    }
    settings.m_strRecordPath = sheet.m_RecordPage.m_strRecordPath;
    settings.m_strSnapshotPath = sheet.m_RecordPage.m_strSnapshotPath;
    settings.m_strTriggerWavPath = sheet.m_RecordPage.m_strAlarmWavPath;
    settings.m_strUpgradeFWPath = sheet.m_ToolBoxPage.m_strFirmwareFile;
    settings.m_bAlarmTriggerRecord = sheet.m_AlarmPage.m_bAlarmRecord;
    app.m_bKeyMode = static_cast<std::uint8_t>(sheet.m_ToolBoxPage.m_nTurboStep + 1);
    for (const std::string& folder :
         {settings.m_strRecordPath.Get(), settings.m_strSnapshotPath.Get()}) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    if (sheet.m_DownloadFilePage.m_fPathChosen != 0) {
        settings.m_strNetworkFilePath = sheet.m_DownloadFilePage.m_strFilePath;
    }
    if (sheet.m_fDeviceListChanged != 0) {
        if (RebuildDeviceList(app.m_DeviceList, cfg.RS485)) {
            m_btnKey[kPtzKeyIndex].SetImageIndex(0);
        }
        ReapplyLayout();
    }
}

void CTorvelDlg::OnPower(int) {
    RunDeviceCommand<CommandOutcome>(&SessionCommands::SendPower, [this](CommandOutcome outcome) {
        if (outcome.ok) {
            g_lpApp->m_fPowerOn = g_lpApp->m_fPowerOn == 0 ? 1 : 0;
        }
        ShowOutcome(outcome);
    });
}

void CTorvelDlg::OnRetr(int) {
    RunDeviceCommand<CommandOutcome>(&SessionCommands::SendRetr,
                                     [this](CommandOutcome outcome) { ShowOutcome(outcome); });
}
