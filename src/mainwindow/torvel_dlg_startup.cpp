// The main window's start-up from the device info and its close sequence, with the title-bar
// buttons that end or minimise it.

#include <QCloseEvent>
#include <algorithm>
#include <iterator>
#include <string_view>

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/device_reply.h"
#include "recording/recorder_set.h"
#include "ui/message_sink.h"
#include "ui/queued_call.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"
#include "widgets/skin_files.h"

namespace {

constexpr int kFullScreenTitleButton = 1;

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

}  // namespace

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

int CTorvelDlg::DoModal() {
    if (!OnInitDialog()) {
        FailStartup(LoginCause::None);
        return 0;
    }
    const int result = exec();
    return m_startup == Startup::Failed ? 0 : result;
}

bool CTorvelDlg::OnInitDialog() {
    KernelObject& app = *g_lpApp;
    ConnectButtons();
    app.h_MainDialogHandle = Handle();
    app.m_pMainDialog = this;
    app.CSettingINI.m_bSelectedChannel = 1;

    // The window is up at once with what is known before the device answers: the shape of the
    // video mode the login read, the title, the buttons that minimise and close it, and that it
    // waits. A close while it waits cancels the requests.
    move(0, 0);
    ShapeForVideoMode();
    setWindowTitle(QString::fromStdString("Quarnel : " + GetDeviceAddress().server));
    setToolTip(QString::fromStdString("Quarnel : " + app.m_strAppVersion));
    CreateTitleButtons();
    LoadTitleBitmaps();
    m_btnTitle[kFullScreenTitleButton].setEnabled(false);
    m_startup = Startup::Waiting;
    RunDeviceCommand<StartupInfo>(&SessionCommands::FetchStartupInfo,
                                  [this](StartupInfo info) { OnStartupInfo(info); });
    if (!IsWaitingForDevice()) {
        return false;
    }
    ShowStartupWait();
    QueueSkinPreload();
    return true;
}

void CTorvelDlg::ShowStartupWait() {
    BeginWait();
    m_waitNotice.stop();
    ShowWaitNotice();
}

void CTorvelDlg::QueueStartupStep(std::function<void()> step) {
    m_startupSteps.push_back(std::move(step));
    if (m_startupSteps.size() == 1) {
        ui::PostCall(this, [this] { RunStartupStep(); });
    }
}

void CTorvelDlg::RunStartupStep() {
    if (m_startupSteps.empty()) {
        return;
    }
    const std::function<void()> step = std::move(m_startupSteps.front());
    m_startupSteps.pop_front();
    // The next turn is booked first, so that a step queued by this one needs no call of its
    // own; a close in this step clears the queue, and the booked call then finds it empty.
    if (!m_startupSteps.empty()) {
        ui::PostCall(this, [this] { RunStartupStep(); });
    }
    step();
}

void CTorvelDlg::QueueSkinPreload() {
    using enum ui::SkinArt;
    static constexpr ui::SkinArt kWindowArt[] = {
        WindowBackground, StatusBar,     StatusIcon,  TitleButton, ChannelTab,
        StripArrow,       CommandButton, PanelToggle, KeyText,     KeyGlyph,
    };
    // The key table is made on its first use, which would otherwise fall in the layout's step.
    QueueStartupStep([] { DeviceTypeSkinTable(); });
    for (const ui::SkinFile& file : ui::SkinFiles()) {
        if (std::find(std::begin(kWindowArt), std::end(kWindowArt), file.art) !=
            std::end(kWindowArt)) {
            QueueStartupStep(
                [this, name = std::string_view(file.name)] { m_skinImages.Load(name); });
        }
    }
}

void CTorvelDlg::OnStartupInfo(const StartupInfo& info) {
    if (!info.reply) {
        FailStartup(info.cause, info.httpStatus);
        return;
    }
    // The window goes on waiting while it lays itself out, after the files still being read.
    m_startup = Startup::Building;
    ShowStartupWait();
    QueueStartupStep([this, reply = *info.reply] { LayOutForDevice(reply); });
    QueueStartupStep([this] { StartStream(); });
}

void CTorvelDlg::LayOutForDevice(const DeviceInfoReply& reply) {
    KernelObject& app = *g_lpApp;
    app.m_bUserClass = UserClassOf(app.m_wUserLevel);
    app.m_abVideoInfo[2] = app.m_bVideoMode;
    CreateSkinControls();
    m_btnTitle[kFullScreenTitleButton].setEnabled(true);
    // The device info set the R.E.T.R. state before the button was made.
    if (reply.retr && app.m_DeviceList.IsMasterType19()) {
        app.m_DeviceList.ShowRetrState();
    }
    app.m_bChannelCopy = app.CSettingINI.m_bSelectedChannel;
    app.m_bResolutionCopy = static_cast<std::uint8_t>(app.CSettingINI.m_nResolution);
    m_bFullScreen = false;
    m_bFullScreenFirstFrame = false;
    app.m_bFirstChannelButton = 0;
}

void CTorvelDlg::StartStream() {
    KernelObject& app = *g_lpApp;
    EndWait();
    ShowStatus("Start to get image!!");
    m_startup = Startup::Started;
    platform::SetEvent(app.h_StartToGetJpegImageEvent);
    platform::SetEvent(app.h_StartConnectionThreadEvent);
}

void CTorvelDlg::FailStartup(LoginCause cause, std::int32_t httpStatus) {
    m_startup = Startup::Failed;
    const std::string text =
        ui::LoadString(ui::texts::kLoginError) + LoginCauseSuffix(cause, httpStatus);
    const DeviceAddress device = GetDeviceAddress();
    TraceLogWrite(
        ("Start-up at " + device.server + ":" + std::to_string(device.webPort) + " failed: " + text)
            .c_str());
    // A window without controls or stream would leave the user nothing to do but close it.
    ui::ShowMessage(text);
    DestroyWindow();
}

bool CTorvelDlg::DestroyWindow() {
    if (m_bClosed) {
        return true;
    }
    KernelObject& app = *g_lpApp;
    // A command still waiting on the device is abandoned: the window does not wait for it.
    m_runner.Cancel();
    m_startupSteps.clear();
    EndWait();
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
