// The main window's session side: start-up from the device info, the command and title-bar
// buttons, the close sequence, the thread notifications, the keys, PTZ control and full screen.

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "config/my_system_dialog.h"
#include "config/peripheral_pages.h"
#include "config/video_adjust_dlg.h"
#include "kernel/kernel_object.h"
#include "mainwindow/ptz_commands.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/config_section.h"
#include "protocol/device_reply.h"
#include "protocol/login.h"
#include "protocol/relogin_thread.h"
#include "protocol/remote_key.h"
#include "protocol/session.h"
#include "recording/recorder_set.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_table.h"
#include "video/live_pipeline.h"

namespace {

constexpr const char* kProductId = "Q41E";
constexpr int kTurboKeyIndex = 59;
constexpr int kPtzKeyIndex = 60;
constexpr int kResolutionButton = 1;
constexpr int kQualityButton = 2;
constexpr int kRecordButton = 4;

// Message-box texts.
constexpr std::uint32_t kLoginError = 4040;
constexpr std::uint32_t kConnectFirst = 4085;
constexpr std::uint32_t kGetConfigError = 4029;
constexpr std::uint32_t kSystemSettingCaption = 3027;
constexpr std::uint32_t kSendFailed = 4065;
constexpr std::uint32_t kResolutionFailed = 4066;
constexpr std::uint32_t kQualityFailed = 4011;
constexpr std::uint32_t kCannotConnect = 4034;
constexpr std::uint32_t kNoProtocol = 4093;
constexpr std::uint32_t kPtzNumberInvalid = 4095;
constexpr std::uint32_t kAlarmAudioFailed = 4096;

// The PTZ motion keys that send the configured key mode while turbo is on.
constexpr int kTurboMotionKeys[] = {30, 31, 32, 33, 54, 55, 57, 58};
// Keys a guest or normal user may not send to a device of type 14 or 19.
constexpr int kGatedKeys[] = {46, 56};

bool IsSlaveListType(int type) {
    return type == NETWORK_DMR_16CH || type == KLM300_DVR;
}

bool IsPtzType(int type) {
    return type == PTZ_SLAVE || type == PTZ_PELCO;
}

void AddCookie(CCgiRequest& request) {
    const std::string cookie = g_szSessionCookie.Get();
    if (!cookie.empty()) {
        request.AddParam("Cookie", cookie);
    }
}

bool SendRequest(const CCgiRequest& request, const std::vector<std::uint8_t>& body = {}) {
    VortaStatus status;
    return VortaSendCommand(request.Command(), request.Url(), body.empty() ? nullptr : body.data(),
                            static_cast<std::uint32_t>(body.size()), &status, nullptr, 0,
                            nullptr) != 0;
}

// The user class of a USERLEVEL value.
std::uint8_t UserClassOf(std::uint16_t level) {
    switch (level) {
        case 30:
            return 0;
        case 20:
            return 1;
        case 0:
            return 2;
        default:
            return 3;
    }
}

// A supervisor's device that reports its model with a stray eighth character gets it cut.
void TrimModelName() {
    auto& inf = g_lpApp->m_SysCfg.INF;
    if (GetConfigSection(CFG_INF, inf.data(), inf.size()) == 0) {
        return;
    }
    constexpr std::size_t kModel = 24;
    if (std::memcmp(inf.data() + kModel, "KLM-300", 7) == 0) {
        std::fill_n(inf.begin() + kModel, 8, 0);
        std::memcpy(inf.data() + kModel, "KLM-300", 7);
        SetConfigSection(CFG_INF, inf.data(), inf.size(), 0);
    }
}

// Packs a client point into a message parameter, as the window system does.
ui::LPARAM PointParam(QPoint point) {
    return static_cast<ui::LPARAM>((point.x() & 0xFFFF) | ((point.y() & 0xFFFF) << 16));
}

QPoint ParamPoint(ui::LPARAM lParam) {
    return QPoint(static_cast<std::int16_t>(lParam & 0xFFFF),
                  static_cast<std::int16_t>((lParam >> 16) & 0xFFFF));
}

}  // namespace

const CTorvelDlg::CommandEntry CTorvelDlg::kCommandMap[] = {
    {1001, 1001, &CTorvelDlg::OnNothing},
    {1002, 1002, &CTorvelDlg::OnLogin},
    {1003, 1003, &CTorvelDlg::OnPictureAdjust},
    {1004, 1004, &CTorvelDlg::OnSnapshoot},
    {1005, 1005, &CTorvelDlg::OnRecord},
    {1006, 1006, &CTorvelDlg::OnSystemConfig},
    {1007, 1007, &CTorvelDlg::OnResol},
    {1008, 1008, &CTorvelDlg::OnQuility},
    {1198, 1198, &CTorvelDlg::OnNothing},
    {8192, 8192, &CTorvelDlg::OnCameraToolButton},
    {8193, 8193, &CTorvelDlg::OnCameraToolButtonDown},
    {8200, 8200, &CTorvelDlg::OnMinimize},
    {8201, 8201, &CTorvelDlg::OnFullScreenButton},
    {8202, 8202, &CTorvelDlg::OnCloseButton},
    {8203, 8203, &CTorvelDlg::OnNothing},
    {8220, 8220, &CTorvelDlg::OnKeyButton},
    {8222, 8232, &CTorvelDlg::OnKeyButton},
    {8240, 8244, &CTorvelDlg::OnKeyButton},
    {8250, 8265, &CTorvelDlg::OnKeyButton},
    {8271, 8273, &CTorvelDlg::OnKeyButton},
    {8280, 8292, &CTorvelDlg::OnKeyButton},
    {8310, 8310, &CTorvelDlg::OnTurbo},
    {8311, 8311, &CTorvelDlg::OnPower},
    {8312, 8312, &CTorvelDlg::OnPtzControl},
    {8313, 8314, &CTorvelDlg::OnKeyButton},
    {8321, 8328, &CTorvelDlg::OnKeyButton},
    {8331, 8331, &CTorvelDlg::OnRetr},
    {8350, 8351, &CTorvelDlg::OnKeyButton},
    {8352, 8352, &CTorvelDlg::OnHotPointButton},
    {8353, 8355, &CTorvelDlg::OnKeyButton},
    {8410, 8426, &CTorvelDlg::OnChannelButton},
    {8427, 8427, &CTorvelDlg::OnChannelLeft},
    {8428, 8428, &CTorvelDlg::OnChannelRight},
    {32773, 32773, &CTorvelDlg::OnFitScreen},
    {32781, 32781, &CTorvelDlg::OnRetr},
    {32782, 32782, &CTorvelDlg::OnHotPointButton},
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

CTorvelDlg::~CTorvelDlg() {
    KernelObject* app = g_lpApp;
    if (!app) {
        return;
    }
    MainWindowLink* self = this;
    app->m_pMainDialog.compare_exchange_strong(self, nullptr);
    ui::WindowHandle handle = Handle();
    app->h_MainDialogHandle.compare_exchange_strong(handle, 0);
}

template <class Work>
void CTorvelDlg::OnWindowThread(Work work) {
    if (OnGuiThread()) {
        work();
    } else {
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    }
}

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
            (this->*entry.handler)(controlId);
            return true;
        }
    }
    return false;
}

bool CTorvelDlg::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Start-up and close

int CTorvelDlg::DoModal() {
    if (!OnInitDialog()) {
        // A window without controls or stream would leave the user nothing to do but close it.
        ui::ShowMessage(kLoginError);
        DestroyWindow();
        return 0;
    }
    return exec();
}

bool CTorvelDlg::OnInitDialog() {
    KernelObject& app = *g_lpApp;
    ConnectButtons();
    app.h_MainDialogHandle = Handle();
    app.m_pMainDialog = this;
    app.CSettingINI.m_bSelectedChannel = 1;

    const std::optional<std::string> info = SendDeviceInfoRequest();
    if (!info) {
        return false;
    }
    const DeviceInfoReply reply = ParseDeviceInfoReply(*info);
    StoreDeviceInfo(reply);
    // The list is the device info's alone; whatever the login left in it would come twice.
    app.m_DeviceList.Clear();
    FillDeviceList(reply);
    if (app.m_DeviceID[0].text != kProductId) {
        return false;
    }
    app.m_DeviceList.Select(CDeviceList::kMasterKind, 0);
    app.m_bUserClass = UserClassOf(app.m_wUserLevel);
    if (app.m_wUserLevel == 30) {
        TrimModelName();
    }
    app.m_abVideoInfo[2] = app.m_bVideoMode;

    setWindowTitle(QString::fromStdString("Quarnel : " + GetDeviceAddress().server));
    setToolTip(QString::fromStdString("Quarnel : " + app.m_strAppVersion));
    CreateSkinControls();
    if (reply.retr && app.m_DeviceList.IsMasterType19()) {
        app.m_DeviceList.SetRetrState(static_cast<std::uint8_t>(*reply.retr));
    }
    app.m_bChannelCopy = app.CSettingINI.m_bSelectedChannel;
    app.m_bResolutionCopy = static_cast<std::uint8_t>(app.CSettingINI.m_nResolution);
    m_bFullScreen = false;
    m_bFullScreenFirstFrame = false;
    app.m_bFirstChannelButton = 0;

    ShowStatus("Start to get image!!");
    platform::SetEvent(app.h_StartToGetJpegImageEvent);
    platform::SetEvent(app.h_StartConnectionThreadEvent);
    return true;
}

bool CTorvelDlg::DestroyWindow() {
    if (m_bClosed) {
        return true;
    }
    KernelObject& app = *g_lpApp;
    // Every recording ends first, so its file is complete whatever happens next.
    m_services.recorders.StopAllRecording();
    if (m_services.exitLoginResource && !m_services.exitLoginResource()) {
        return false;
    }
    if (m_services.exitProcessResource && !m_services.exitProcessResource()) {
        return false;
    }
    app.CSettingINI.Save();
    platform::SetEvent(app.h_EndofShowImageEvent);
    platform::Sleep(100);
    m_bClosed = true;
    MainWindowLink* self = this;
    app.m_pMainDialog.compare_exchange_strong(self, nullptr);
    done(QDialog::Accepted);
    return true;
}

void CTorvelDlg::closeEvent(QCloseEvent* event) {
    // The window's close button runs the whole close sequence, like the title-bar button.
    if (DestroyWindow()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CTorvelDlg::OnCloseButton(int) {
    DestroyWindow();
}

void CTorvelDlg::OnLifeTimeExpired(ui::WPARAM, ui::LPARAM) {
    DestroyWindow();
}

void CTorvelDlg::OnMinimize(int) {
    showMinimized();
}

void CTorvelDlg::OnNothing(int) {}

void CTorvelDlg::OnNoOpMessage(ui::WPARAM, ui::LPARAM) {}

// ---------------------------------------------------------------------------------------------
// What the threads ask of the window

void CTorvelDlg::DrawFrame() {
    m_services.pipeline.Painter().Paint();
}

void CTorvelDlg::ShowStatusText(const std::string& text) {
    OnWindowThread([this, text] { ShowStatus(text); });
}

void CTorvelDlg::ShowStatus(const std::string& text) {
    if (m_bFullScreen) {
        return;
    }
    m_strStatus = text;
    update(StatusRect().adjusted(0, 0, 1, 1));
}

void CTorvelDlg::SetButtonImage(int controlId, int imageIndex) {
    OnWindowThread([this, controlId, imageIndex] {
        if (ui::CVtxButton* button = GetDlgItem(controlId)) {
            button->SetImageIndex(imageIndex);
            // The record button's tip says what a press does in the state it now shows.
            if (controlId == kRecordButtonId) {
                button->setToolTip(QString::fromStdString(TipWord(1005, imageIndex)));
            }
        }
    });
}

void CTorvelDlg::SetButtonTip(int controlId, const std::string& tip) {
    OnWindowThread([this, controlId, tip] {
        if (ui::CVtxButton* button = GetDlgItem(controlId)) {
            button->setToolTip(QString::fromStdString(tip));
        }
    });
}

void CTorvelDlg::ClearFrameTexts() {
    OnWindowThread([this] {
        m_strStatus2.clear();
        m_strIndicator.clear();
        update(StatusRect());
    });
}

void CTorvelDlg::ClearIndicatorText() {
    OnWindowThread([this] {
        m_strIndicator.clear();
        update(StatusRect());
    });
}

void CTorvelDlg::ReapplyLayout() {
    OnWindowThread([this] {
        ApplyLayoutMode();
        RelayoutControls();
    });
}

void CTorvelDlg::SwitchLayoutMode(std::uint16_t layoutMode) {
    OnWindowThread([this, layoutMode] {
        ApplyLayoutMode();
        switch (LayoutGroup(layoutMode)) {
            case 0:
                SwitchToNtscVga();
                break;
            case 1:
                SwitchToNtscQvga();
                break;
            case 2:
                SwitchToPalVga();
                break;
            default:
                SwitchToPalQvga();
                break;
        }
    });
}

void CTorvelDlg::PresentFrame(std::shared_ptr<const PaintedFrame> frame) {
    OnWindowThread([this, frame = std::move(frame)] {
        if (frame->fullScreen != m_bFullScreen) {
            return;  // painted before the last switch in or out of full screen
        }
        if (m_bFullScreen && m_bFullScreenFirstFrame) {
            HideControlsForFullScreen();
        }
        bool textsChanged = frame->indicator != m_strIndicator;
        m_strIndicator = frame->indicator;
        if (frame->status2 && *frame->status2 != m_strStatus2) {
            m_strStatus2 = *frame->status2;
            textsChanged = true;
        }
        m_wndVideo.SetFrame(frame);
        if (textsChanged && !m_bFullScreen) {
            update(StatusRect());
        }
    });
}

void CTorvelDlg::OnShowStatus(ui::WPARAM wParam, ui::LPARAM lParam) {
    if (const std::optional<std::string> text = StatusTextOfCode(lParam, wParam)) {
        ShowStatus(*text);
        return;
    }
    switch (lParam) {
        case 5:
            m_btnCommand[0].SetImageIndex(0);
            break;
        case 6:
            m_btnCommand[0].SetImageIndex(1);
            break;
        case 8:
            if (!m_bFullScreen) {
                g_lpApp->m_fStatus8 = 1;
                update(StatusRect());
            }
            break;
        default:
            break;
    }
}

void CTorvelDlg::OnRecordOn(ui::WPARAM, ui::LPARAM) {
    m_btnCommand[kRecordButton].SetImageIndex(1);
}

// ---------------------------------------------------------------------------------------------
// Alarm sound

void CTorvelDlg::OnPostAlarmAudio(ui::WPARAM, ui::LPARAM lParam) {
    KernelObject& app = *g_lpApp;
    if (lParam == 2) {
        app.m_fAlarmStartActive = 0;
        if (app.m_fAlarmSoundOn != 0) {
            platform::SetEvent(app.h_StopAlarmWavEvent);
            app.m_fAlarmSoundOn = 0;
        }
        platform::StopThread(app.h_PlayAudioWavThread, 10);
        return;
    }
    if (app.m_fAlarmStartActive != 0) {
        return;
    }
    if (app.h_StopAlarmWavEvent) {
        platform::SetEvent(app.h_StopAlarmWavEvent);
    }
    LivePipeline& pipeline = m_services.pipeline;
    if (!pipeline.LoadAlarmWave(app.CSettingINI.m_strTriggerWavPath)) {
        ui::ShowMessage(kAlarmAudioFailed);
        return;
    }
    platform::CloseObject(app.h_PlayAlarmWavEvent);
    platform::CloseObject(app.h_StopAlarmWavEvent);
    app.h_PlayAlarmWavEvent = platform::CreateEventObject(false, false);
    app.h_StopAlarmWavEvent = platform::CreateEventObject(false, false);
    pipeline.SetAlarmWavePlayEvent(app.h_PlayAlarmWavEvent);
    platform::StopThread(app.h_PlayAudioWavThread, 10);
    app.h_PlayAudioWavThread =
        platform::StartThread([&pipeline] { return pipeline.PlayAudioWavThread(); });
    if (!app.h_PlayAudioWavThread) {
        return;
    }
    app.m_fAlarmSoundOn = 1;
    app.m_fAlarmStartActive = 1;
}

void CTorvelDlg::StopAlarmSound() {
    KernelObject& app = *g_lpApp;
    if (app.m_fAlarmSoundOn != 0) {
        platform::SetEvent(app.h_StopAlarmWavEvent);
        app.m_fAlarmSoundOn = 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Session commands

void CTorvelDlg::OnLogin(int) {
    KernelObject& app = *g_lpApp;
    if (app.m_fConnected == 0) {
        platform::StopThread(app.h_ReLoginThread, 30);
        app.h_ReLoginThread = platform::StartThread([] { return LoginThread(); });
        if (!app.h_ReLoginThread) {
            return;
        }
        ShowStatus("CONNECT!!");
        m_btnCommand[0].SetImageIndex(0);
        return;
    }
    m_btnCommand[0].SetImageIndex(1);
    ShowStatus("DISCONNECT!!");
    platform::StopThread(app.h_ReLoginThread, 30);
    if (app.m_fStreamThreadsRunning != 0) {
        platform::SetEvent(app.h_NotifyGetJPEGImageThreadResetEvent);
        platform::WaitForObject(app.h_FeedBackForNotifyResetEvent, 5'000);
        platform::SetEvent(app.h_Process_Notify_TerminateEvent);
        platform::WaitForObject(app.h_Process_Reply_TerminateEvent, 10'000);
    }
    app.m_fConnected = 0;
    m_strStatus2.clear();
    m_strIndicator.clear();
    update(StatusRect());
}

void CTorvelDlg::OnRelogin(ui::WPARAM, ui::LPARAM) {
    platform::Sleep(platform::GetTickCount() % 2'000);
    OnLogin(0);
    OnLogin(0);
}

void CTorvelDlg::OnSnapshoot(int) {
    if (g_lpApp->m_fVideoReady == 0) {
        ui::ShowMessage(kConnectFirst);
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
        ui::ShowMessage(kConnectFirst);
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

void CTorvelDlg::ChangeStreamSetting(std::uint8_t command, const char* name, std::uint32_t& index,
                                     std::uint32_t next, int buttonIndex,
                                     std::uint32_t failureText) {
    const std::uint32_t old = index;
    index = next;
    CCgiRequest request(command);
    AddCookie(request);
    request.AddParamInt(name, static_cast<int>(next));
    if (!SendRequest(request)) {
        index = old;
        m_btnCommand[buttonIndex].SetImageIndex(static_cast<int>(old));
        ui::ShowMessage(failureText);
        return;
    }
    m_btnCommand[buttonIndex].SetImageIndex(static_cast<int>(next));
}

void CTorvelDlg::OnResol(int) {
    std::uint32_t& resolution = g_lpApp->CSettingINI.m_nResolution;
    // Only 0 and 1 are offered; any other stored value starts over at 0.
    ChangeStreamSetting(CGI_SETRESOLUTION, "RES", resolution, resolution == 0 ? 1 : 0,
                        kResolutionButton, kResolutionFailed);
}

void CTorvelDlg::OnQuility(int) {
    std::uint32_t& quality = g_lpApp->CSettingINI.m_nQuality;
    ChangeStreamSetting(CGI_SETQUALITY, "QUA", quality, (quality + 1) % 3, kQualityButton,
                        kQualityFailed);
}

void CTorvelDlg::OnPictureAdjust(int) {
    KernelObject& app = *g_lpApp;
    if (app.m_fVideoReady == 0) {
        ui::ShowMessage(kConnectFirst);
        return;
    }
    auto& block = app.m_SysCfg.IMG;
    block.fill(0);
    if (GetConfigSection(CFG_IMG, block.data(), block.size()) == 0) {
        ui::ShowMessage(kGetConfigError);
        return;
    }
    CVideoAdjustDlg dialog;
    for (int row = 0; row < CVideoAdjustDlg::kRows; ++row) {
        dialog.m_nCurrent[row] = block[CVideoAdjustDlg::kFirstImgByte + row];
    }
    dialog.DoModal();
}

void CTorvelDlg::OnSystemConfig(int) {
    KernelObject& app = *g_lpApp;
    if (app.m_fVideoReady == 0) {
        ui::ShowMessage(kConnectFirst);
        return;
    }
    SysCfgBlocks& cfg = app.m_SysCfg;
    cfg.ONLINE.fill(0);
    const std::pair<std::uint8_t, std::span<std::uint8_t>> sections[] = {
        {CFG_IP, cfg.IP},         {CFG_ONLINE, cfg.ONLINE},   {CFG_ALARM, cfg.ALARM},
        {CFG_SECURE, cfg.SECURE}, {CFG_SMTP, cfg.SMTP},       {CFG_FTP, cfg.FTP},
        {CFG_RS485, cfg.RS485},   {CFG_DVRLIVE, cfg.DVRLIVE}, {CFG_DVRREC, cfg.DVRREC},
        {CFG_PPPOE, cfg.PPPOE},   {CFG_DNS, cfg.DNS},
    };
    for (const auto& [section, block] : sections) {
        if (GetConfigSection(section, block.data(), static_cast<std::uint32_t>(block.size())) ==
            0) {
            ui::ShowMessage(kGetConfigError);
            return;
        }
    }
    MySystemDialog sheet(QString::fromStdString(ui::LoadString(kSystemSettingCaption)), this, 0);
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
    for (const std::string* folder : {&settings.m_strRecordPath, &settings.m_strSnapshotPath}) {
        std::error_code ignored;
        std::filesystem::create_directory(*folder, ignored);
    }
    if (sheet.m_DownloadFilePage.m_fPathChosen != 0) {
        settings.m_strNetworkFilePath = sheet.m_DownloadFilePage.m_strFilePath;
    }
    if (sheet.m_fDeviceListChanged != 0) {
        RebuildDeviceList(app.m_DeviceList, cfg.RS485);
        ReapplyLayout();
    }
}

// ---------------------------------------------------------------------------------------------
// Full screen, keyboard and mouse

int CTorvelDlg::EnableControlGroup(int show) {
    if (show == 0 || show == 1) {
        for (ui::CVtxButton& button : m_btnCommand) {
            button.setVisible(show == 1);
        }
    }
    return 1;
}

void CTorvelDlg::EnterFullScreen() {
    m_bFullScreen = true;
    m_bFullScreenFirstFrame = true;
    m_services.pipeline.Painter().SetFullScreen(true,
                                                static_cast<std::uint16_t>(m_rcScreen.width()),
                                                static_cast<std::uint16_t>(m_rcScreen.height()));
}

void CTorvelDlg::OnFullScreenButton(int) {
    EnterFullScreen();
}

void CTorvelDlg::OnFitScreen(int) {
    if (m_bFullScreen) {
        LeaveFullScreen();
    } else {
        EnterFullScreen();
    }
}

void CTorvelDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        case Qt::Key_Escape:
            if (m_bFullScreen) {
                LeaveFullScreen();
            }
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

bool CTorvelDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            StopAlarmSound();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CTorvelDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!m_bFullScreen) {
        m_dragOffset = event->globalPosition().toPoint() - pos();
    }
    KernelObject& app = *g_lpApp;
    if (app.m_bHotPointMode == 2 && app.m_fVideoReady != 0) {
        // The cell is the one under the press itself, not wherever the pointer is later.
        app.m_wMouseX = static_cast<std::uint16_t>(point.x());
        app.m_wMouseY = static_cast<std::uint16_t>(point.y());
        ui::PostMessage(Handle(), ui::WM_HOTPOINTCLICK, 0, PointParam(point));
    }
    event->accept();
}

void CTorvelDlg::mouseMoveEvent(QMouseEvent* event) {
    KernelObject& app = *g_lpApp;
    const QPoint point = event->position().toPoint();
    if (app.m_bHotPointMode != 1) {
        app.m_wMouseX = static_cast<std::uint16_t>(point.x());
        app.m_wMouseY = static_cast<std::uint16_t>(point.y());
    }
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        const QRect target =
            OnMoving(QRect(event->globalPosition().toPoint() - *m_dragOffset, size()));
        if (target.size() != size()) {
            setFixedSize(target.size());
        }
        move(target.topLeft());
    }
    event->accept();
}

void CTorvelDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------------
// PTZ hot point

void CTorvelDlg::OnHotPointClick(ui::WPARAM, ui::LPARAM lParam) {
    KernelObject& app = *g_lpApp;
    const QRect grid = m_bFullScreen ? QRect(QPoint(0, 0), m_rcScreen.size()) : VideoRect();
    const std::optional<HotPointHit> hit =
        HotPointCell(ParamPoint(lParam), grid, VideoRect(), m_bFullScreen, app.m_bPictureSizeCode);
    if (!hit) {
        return;
    }
    app.m_wHotBoxX = hit->boxX;
    app.m_wHotBoxY = hit->boxY;
    const CDeviceList& devices = app.m_DeviceList;
    const std::vector<std::uint8_t> packet = HotPointPacket(
        devices.GetCurrentType(), devices.GetCurrentId(), CurrentUserClass().rank, hit->cell);
    CCgiRequest request(CGI_RS485CMD);
    request.AddParam("Control", kProductId);
    if (!devices.IsCurrentMaster()) {
        request.AddParamInt("CH", devices.GetOrdinal());
        request.AddParam("MASTER", "0");
    } else {
        request.AddParam("MASTER", "1");
    }
    AddCookie(request);
    if (!SendRequest(request, packet)) {
        ui::ShowMessage(kSendFailed);
        return;
    }
    app.m_wHotBoxFrames = 4;
}

void CTorvelDlg::OnPtzControlReleased(ui::WPARAM, ui::LPARAM) {
    KernelObject& app = *g_lpApp;
    if (app.m_DeviceList.IsCurrentMaster()) {
        return;
    }
    app.m_DeviceList.Select(CDeviceList::kMasterKind, 0);
    m_btnKey[kPtzKeyIndex].SetImageIndex(0);
    app.m_bHotPointMode = 1;
    app.m_fHotPointOn = 0;
    ApplyLayoutMode();
}

void CTorvelDlg::OnHotPointButton(int) {
    KernelObject& app = *g_lpApp;
    if (app.m_bHotPointMode == 1) {
        app.m_bHotPointMode = 2;
        app.m_fHotPointOn = 1;
    } else if (app.m_bHotPointMode == 2) {
        app.m_bHotPointMode = 1;
        app.m_fHotPointOn = 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Channel strip, keys and the buttons with a state of their own

void CTorvelDlg::OnChannelButton(int controlId) {
    const int channel = controlId - ChannelStripTable()[0].controlId;
    g_lpApp->CSettingINI.m_bSelectedChannel = static_cast<std::uint8_t>(channel);
    for (int i = 0; i < kChannelStripCount; ++i) {
        m_btnChannel[i].SetImageIndex(i == channel ? 0 : 1);
    }
    ApplyLayoutMode();
    RelayoutControls();
}

void CTorvelDlg::OnChannelLeft(int) {
    --g_lpApp->m_bFirstChannelButton;
}

void CTorvelDlg::OnChannelRight(int) {
    ++g_lpApp->m_bFirstChannelButton;
}

void CTorvelDlg::OnKeyButton(int controlId) {
    const auto& keys = CurrentSkin().keys;
    const auto key = std::find_if(keys.begin(), keys.end(), [controlId](const SkinKeyRecord& k) {
        return k.controlId == controlId;
    });
    if (key == keys.end()) {
        return;
    }
    const int index = key->keyIndex;
    KernelObject& app = *g_lpApp;
    if (std::ranges::find(kGatedKeys, index) != std::end(kGatedKeys) && app.m_bUserClass > 1 &&
        IsSlaveListType(app.m_DeviceList.GetCurrentType())) {
        return;
    }
    const bool motion = std::ranges::find(kTurboMotionKeys, index) != std::end(kTurboMotionKeys);
    SendRemoteKey(motion ? app.m_fTurbo.load() : 0, static_cast<std::uint16_t>(index));
}

void CTorvelDlg::OnPower(int) {
    KernelObject& app = *g_lpApp;
    if (app.m_fConnected == 0) {
        ui::ShowMessage(kCannotConnect);
        return;
    }
    const CtrlProtocol* protocol = CurrentProtocol();
    if (!protocol) {
        ui::ShowMessage(kNoProtocol);
        return;
    }
    SendKeyCommand(*protocol, protocol->PowerKey, 1);
    app.m_fPowerOn = app.m_fPowerOn == 0 ? 1 : 0;
}

void CTorvelDlg::OnRetr(int) {
    CCgiRequest request(CGI_SETRETR);
    AddCookie(request);
    request.AddParam("SET", g_lpApp->m_DeviceList.GetState() != 0 ? "0" : "1");
    if (!SendRequest(request)) {
        ui::ShowMessage(kSendFailed);
    }
}

void CTorvelDlg::OnPtzControl(int) {
    KernelObject& app = *g_lpApp;
    CDeviceList& devices = app.m_DeviceList;
    const bool slaveList = IsSlaveListType(devices.GetMasterType());
    if (app.m_bUserClass > 1 && slaveList) {
        return;
    }
    if (slaveList) {
        CCgiRequest request(CGI_PTZRESET);
        AddCookie(request);
        std::array<char, 1024> reply{};
        std::uint32_t length = 0;
        if (VortaSendCommand(request.Command(), request.Url(), nullptr, 0, nullptr, reply.data(),
                             reply.size() - 1, &length) == 0) {
            ui::ShowMessage(kSendFailed);
            return;
        }
        const std::string_view body(reply.data(), length);
        if (body.find("SLAVENUM") != std::string_view::npos) {
            const DeviceInfoReply slaves = ParseDeviceInfoReply(body);
            for (std::size_t i = 0; i < slaves.peripherals.size(); ++i) {
                devices.SetPeripheral(static_cast<std::uint8_t>(i),
                                      static_cast<std::uint8_t>(slaves.peripherals[i].type),
                                      static_cast<std::uint8_t>(slaves.peripherals[i].id));
            }
        }
    }
    const QString onText = QString::fromStdString(TipWord(8312, 0));
    const QString offText = QString::fromStdString(TipWord(8312, 1));
    ui::CVtxButton& button = m_btnKey[kPtzKeyIndex];

    CSelectPTZDlg dialog;
    const int result = dialog.DoModal();
    const int n = dialog.m_nPtzNumber;
    const bool wasMaster = devices.IsCurrentMaster() != 0;
    if (result == CSelectPTZDlg::kIdCancel) {
        button.SetImageIndex(wasMaster ? 0 : 1);
        if (slaveList) {
            CCgiRequest request(CGI_PTZRESET);
            AddCookie(request);
            if (!SendRequest(request)) {
                ui::ShowMessage(kSendFailed);
            }
        }
        return;
    }
    const bool backToMaster = !wasMaster && result == CSelectPTZDlg::kIdBackToMaster;
    if (!wasMaster && !backToMaster && result != CSelectPTZDlg::kIdOk) {
        return;
    }
    if (!backToMaster &&
        (n < 1 || n > 16 || devices.GetPeripheralTypeAt(static_cast<std::uint8_t>(n - 1)) == 0)) {
        ui::ShowMessage(kPtzNumberInvalid);
        return;
    }

    // What a refused switch puts back.
    const std::uint8_t ordinal = devices.GetOrdinal();
    const int image = button.GetImageIndex();
    const QString tip = button.toolTip();
    const std::uint8_t hotPointMode = app.m_bHotPointMode;
    const std::uint32_t hotPointOn = app.m_fHotPointOn;

    std::vector<std::uint8_t> body;
    if (backToMaster) {
        button.setToolTip(onText);
        devices.Select(CDeviceList::kMasterKind, 0);
        button.SetImageIndex(0);
        if (app.m_bHotPointMode == 2) {
            app.m_bHotPointMode = 1;
            app.m_fHotPointOn = 0;
        }
        body = PtzSelectBody(0);
    } else {
        devices.Select(CDeviceList::kPeripheralKind, static_cast<std::uint8_t>(n - 1));
        if (wasMaster) {
            button.setToolTip(offText);
        }
        button.SetImageIndex(1);
        const bool ptz = IsPtzType(devices.GetCurrentType());
        app.m_fHotPointOn = ptz ? 1 : 0;
        app.m_bHotPointMode = ptz ? 2 : 1;
        body = PtzSelectBody(n);
    }

    CCgiRequest request(CGI_RS485CMD);
    request.AddParam("Control", kProductId);
    request.AddParam("MASTER", "1");
    AddCookie(request);
    if (!SendRequest(request, body)) {
        // The device still talks to the old device: so must the window.
        devices.Select(wasMaster ? CDeviceList::kMasterKind : CDeviceList::kPeripheralKind,
                       wasMaster ? 0 : ordinal);
        button.SetImageIndex(image);
        button.setToolTip(tip);
        app.m_bHotPointMode = hotPointMode;
        app.m_fHotPointOn = hotPointOn;
        app.m_wHotBoxFrames = 0;
        ui::ShowMessage(kSendFailed);
        return;
    }
    ApplyLayoutMode();
}
