#pragma once

// The main window: the live picture with its command buttons, the title-bar buttons, the
// channel strip and the remote-key panel of the connected device. It has no layout resource;
// every control, rectangle and image comes from the skin tables (mainwindow/skin_tables.h).

#include <QDialog>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/main_window_link.h"
#include "kernel/settings_ini.h"
#include "mainwindow/main_window_services.h"
#include "mainwindow/skin_tables.h"
#include "protocol/command_runner.h"
#include "protocol/session_commands.h"
#include "ui/window_message.h"
#include "video/stream_status.h"
#include "widgets/skin_image.h"
#include "widgets/vtx_button.h"
#include "widgets/window_fit.h"

class QFont;

// The video rectangle: shows the last frame the painter finished, 1:1.
class VideoView : public QWidget {
public:
    explicit VideoView(QWidget* parent = nullptr);
    void SetFrame(std::shared_ptr<const PaintedFrame> frame);
    const std::shared_ptr<const PaintedFrame>& Frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<const PaintedFrame> m_frame;
};

class CTorvelDlg : public QDialog, public ui::MessageWindow, public MainWindowLink {
    Q_OBJECT

public:
    explicit CTorvelDlg(MainWindowServices services, QWidget* parent = nullptr);
    ~CTorvelDlg() override;

    // The window's life: the start-up, then the modal loop until the close sequence ends it. A
    // start-up that fails tells the user and closes through the close sequence; 0 then.
    int DoModal();
    // Readies the window to show while it waits for the device (its shape, title, the buttons
    // that minimise and close it, the waiting text) and starts the start-up's device requests
    // (the device info, the product test, a supervisor's model check) on the command runner.
    // Their result lays the window out for the device, the user class and the layout mode, then
    // starts the stream and the lifetime count; a failure tells the user and closes the window.
    // False when the requests could not be started.
    bool OnInitDialog();
    // Where the start-up stands: Building once the device has answered, while the window lays
    // itself out for it.
    enum class Startup { NotBegun, Waiting, Building, Started, Failed };
    Startup StartupState() const { return m_startup; }
    // The close sequence: every recording ends and its file is closed, the session's and the
    // process's resources are released, the settings saved, and the modal loop ends. False (the
    // window stays open) when a resource chain fails.
    bool DestroyWindow();

    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;
    // A click of the control with that id (buttons, and the commands nothing shows a control
    // for). False for an id the window does not handle.
    bool OnCommand(int controlId);

    // MainWindowLink: every call may come from a worker and only hands the work to the window's
    // thread, except DrawFrame, which paints on the calling thread.
    void DrawFrame() override;
    void ShowStatusText(const std::string& text) override;
    void ShowNoticeText(const std::string& text) override;
    void SetButtonImage(int controlId, int imageIndex) override;
    void SetButtonTip(int controlId, const std::string& tip) override;
    void ClearFrameTexts() override;
    void ClearIndicatorText() override;
    void ReapplyLayout() override;
    void SwitchLayoutMode(std::uint16_t layoutMode) override;
    void PresentFrame(std::shared_ptr<const PaintedFrame> frame) override;

    // Arial, 12 pixels, regular: the status line's font.
    static QFont CreateStatusFont();
    // Shows (1) or hides (0) the six command buttons; 1.
    int EnableControlGroup(int show);
    // The rectangle a drag may give the window: the dragged one while the window has the layout's
    // width, else the layout's size at the dragged place.
    QRect OnMoving(const QRect& dragged) const;

    const std::string& StatusText() const { return m_strStatus; }
    const std::string& StatusText2() const { return m_strStatus2; }
    const std::string& IndicatorText() const { return m_strIndicator; }
    bool IsFullScreen() const { return m_bFullScreen; }
    // From a device command's start until the window has taken its result; the start-up's is
    // taken when the window is laid out for the device.
    bool IsWaitingForDevice() const { return m_runner.Busy() || m_startup == Startup::Building; }
    // The status text while a device command has kept the window waiting for a moment.
    static constexpr const char* kWaitingText = "Waiting for the device ...";

    // The skin part of the start-up: the layout mode from the video standard and the
    // resolution, the window's shape and backgrounds, every button with its place, tooltip and
    // images, the user class's permissions, then the layout for the device type.
    void CreateSkinControls();
    // The layout mode from the video standard and the resolution, and the window's shape and
    // backgrounds for it.
    void ShapeForVideoMode();

    // Loads the twenty background, status-bar and icon images; false at the first one missing
    // (the ones after it stay empty).
    bool LoadBackgroundBitmaps();
    // With `loadAll` the images of every button, then the mode's key images. True.
    bool LoadControlBitmaps(std::uint16_t mode, bool loadAll);
    // Called by the stream when the picture size changes, from its own thread: the work is done
    // on the window's thread. True.
    bool SwitchToNtscVga();
    bool SwitchToNtscQvga();
    bool SwitchToPalVga();
    bool SwitchToPalQvga();
    // Places every control for the layout mode and the key panel's state. True.
    bool RelayoutControls();
    bool OnResolutionChanged(std::uint32_t resolution);
    // Brings the window in line with the video standard, resolution, device and user. 1. May be
    // called from any thread.
    int ApplyLayoutMode();

    // The button with that control id, or null.
    ui::CVtxButton* GetDlgItem(int controlId);
    QWidget* VideoArea() { return &m_wndVideo; }
    const QImage& Background(int mode, bool panelOpen) const;

    // 1 while the key panel is open.
    bool m_bPanelExpanded = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Esc and a cancel never close the window.
    void reject() override {}

private:
    // Rows of m_btnKey and m_btnCommand that more than one concern sets.
    static constexpr int kPtzKeyIndex = 60;
    static constexpr int kRecordButton = 4;

    struct CommandEntry {
        int first;
        int last;
        void (CTorvelDlg::*handler)(int controlId);
        bool device;
    };
    static const CommandEntry kCommandMap[];
    static const ui::MessageMapEntry<CTorvelDlg> kMessageMap[];

    // Runs `work` on the window's thread: at once there, queued from any other thread.
    template <class Work>
    void OnWindowThread(Work work);
    void ConnectButtons();
    // The start-up's device requests are back: the reply, or why there is none.
    void OnStartupInfo(const StartupInfo& info);
    // The start-up's two steps after the device's answer: the window is laid out for the
    // device, and once it has painted so, the stream starts.
    void LayOutForDevice(const DeviceInfoReply& reply);
    void StartStream();
    // Tells the user why in a box and in trace.log, and closes the window.
    void FailStartup(LoginCause cause, std::int32_t httpStatus = 0);
    // The busy cursor and the waiting text, at once, until the start-up ends.
    void ShowStartupWait();
    // The start-up's work on the window's thread runs in steps, one per turn of the event loop,
    // so that the window paints and can be closed between them. A close drops the steps left.
    void QueueStartupStep(std::function<void()> step);
    void RunStartupStep();
    // While the device is asked, the key table is made and every skin file the window may show
    // is read, one per step, so that the layout after the answer only takes them.
    void QueueSkinPreload();
    void ShowStatus(const std::string& text);
    void ShowNotice(const std::string& text);
    // The notice's time is up, or the wait notice takes the line: the held text comes back.
    void EndNotice();
    // Puts the frame waiting in m_frameHandOver on screen with its texts.
    void ShowNewestFrame();
    QRect VideoRect() const;
    QRect StatusRect() const;
    // Every change of what the status line shows goes to the screen through here: the line is
    // drawn on the scrolled page, in its coordinates, never on the window behind it.
    void RepaintStatusLine();

    // Commands.
    void OnLogin(int);
    void OnSnapshoot(int);
    void OnRecord(int);
    void OnSystemConfig(int);
    void OnResol(int);
    void OnQuility(int);
    void OnPictureAdjust(int);
    void OnNothing(int);
    void OnMinimize(int);
    void OnFullScreenButton(int);
    void OnFitScreen(int);
    void OnCloseButton(int);
    void OnCameraToolButton(int);
    void OnCameraToolButtonDown(int);
    void OnChannelButton(int controlId);
    void OnChannelLeft(int);
    void OnChannelRight(int);
    void OnKeyButton(int controlId);
    void OnPtzControl(int);
    void OnTurbo(int);
    void OnPower(int);
    void OnRetr(int);
    void OnHotPointButton(int);
    // The PTZ chooser and the switch it asks for; `slaveList` when the device's peripherals were
    // just read and must be told of a cancel.
    void ChoosePtz(bool slaveList);
    // The configuration sheet over the sections just fetched, and what its APPLY hands back.
    void RunSystemSheet();

    // Runs `work` on the command runner and `done` with its result on the window's thread,
    // with the busy cursor and, after a moment, the waiting text meanwhile. A command that
    // arrives while another runs is dropped.
    template <class Result>
    void RunDeviceCommand(std::function<Result()> work, std::function<void(Result)> done);
    void RunDeviceCommand(std::function<void()> work, std::function<void()> done = {});
    void BeginWait();
    void EndWait();
    void ShowWaitNotice();
    // While a connection receives the stream and no frame comes, the status line says so.
    void CheckForFrames();
    void ShowOutcome(const CommandOutcome& outcome);
    // What the connect button and the status line say around a connect or a disconnect.
    void ShowConnecting(bool started);
    void ShowDisconnecting();
    void ShowDisconnected();
    // A resolution or quality step: the new index goes to the device; on failure the old one
    // comes back.
    void ChangeStreamSetting(std::uint8_t command, const char* name,
                             SharedSetting<std::uint32_t>& index, std::uint32_t next,
                             int buttonIndex, std::uint32_t failureText);

    // Posted messages.
    void OnPostAlarmAudio(ui::WPARAM, ui::LPARAM lParam);
    void OnRecordOn(ui::WPARAM, ui::LPARAM);
    void OnRelogin(ui::WPARAM, ui::LPARAM);
    void OnNoOpMessage(ui::WPARAM, ui::LPARAM);
    void OnHotPointClick(ui::WPARAM, ui::LPARAM lParam);
    void OnPtzControlReleased(ui::WPARAM, ui::LPARAM);
    void OnLifeTimeExpired(ui::WPARAM, ui::LPARAM);
    void OnShowStatus(ui::WPARAM wParam, ui::LPARAM lParam);

    // Full screen.
    void EnterFullScreen();
    void LeaveFullScreen();
    void HideControlsForFullScreen();
    // The window back at a layout rectangle, centred on the screen.
    void RestoreWindow(int first, int corner);
    void StopAlarmSound();
    // The tip words of a two-state button's string.
    static std::string TipWord(std::uint32_t id, int n);

    // Which visibility rules place the keys: those of the open key panel, or those of a device
    // type whose keys sit in the closed window.
    enum class KeyRule { Panel, ClosedWindow };

    const DeviceTypeSkin& CurrentSkin() const;
    const UserClassButtons& CurrentUserClass() const;
    const LayoutRow& CurrentLayout() const;
    // Reloads the images that follow the layout group (0 NTSC VGA, 1 NTSC QVGA, 2 PAL VGA, 3 PAL
    // QVGA).
    bool SetKeyBitmaps(int group);
    bool SwitchTo(int mode);
    void LoadPanelButtons(int mode);
    void PlaceKeyButtons(KeyRule rule);
    void HideKeyButtons();
    // Takes the size of a layout rectangle (words `first` to first + 3) with a rounded outline.
    void ShapeWindow(int first, int corner);
    // The skin, the status line and the frame around the picture.
    void PaintWindow(QPainter& painter);
    void CenterOnScreen();
    void CreateButtons();
    void CreateTitleButtons();
    void LoadTitleBitmaps();
    std::vector<ui::CVtxButton*> AllButtons();
    bool OnGuiThread() const;

    MainWindowServices m_services;
    bool m_bFullScreen = false;
    bool m_bFullScreenFirstFrame = false;
    bool m_bClosed = false;
    Startup m_startup = Startup::NotBegun;
    std::string m_strStatus;
    std::string m_strStatus2;
    std::string m_strIndicator;
    std::optional<QPoint> m_dragOffset;
    QRect m_rcScreen;
    std::array<QImage, kLayoutModeCount> m_hBackground;
    std::array<QImage, kLayoutModeCount> m_hBackgroundEx;
    std::array<QImage, kLayoutModeCount> m_hStatusBar;
    QImage m_hOnlineUserIcon;
    QImage m_hAlarmIcon;
    // Every skin bitmap of the window and its buttons comes through here.
    ui::SkinImageCache m_skinImages;
    // Title-bar buttons 8200 to 8202; 8203 has a string but no window.
    std::array<ui::CVtxButton, 3> m_btnTitle;
    std::array<ui::CVtxButton, kChannelStripCount> m_btnChannel;
    std::array<ui::CVtxButton, kRemoteKeyCount> m_btnKey;
    std::array<ui::CVtxButton, kCommandButtonCount> m_btnCommand;
    ui::CVtxButton m_btnPanelUp;
    ui::CVtxButton m_btnPanelDown;
    ui::CVtxButton m_btnPower;
    // The page the window's picture and controls are on; it scrolls when a large scale makes
    // the window larger than its screen.
    ui::ScrolledWindow m_fit{*this, [this](QPainter& painter) { PaintWindow(painter); }};
    VideoView m_wndVideo;
    PaintedFrameHandOver m_frameHandOver;
    // Serialises the reload of the key images by the layout switches.
    std::mutex m_csLayout;
    bool m_bControlsCreated = false;
    std::deque<std::function<void()>> m_startupSteps;
    // The alarm sound could not be loaded and the user has been told, until the alarm ends.
    bool m_bAlarmSoundFailureShown = false;
    CommandRunner m_runner;
    QTimer m_waitNotice;
    bool m_bWaiting = false;
    // While it is shown, status texts wait in m_strStatusBeforeWait.
    bool m_bWaitNoticeShown = false;
    std::string m_strStatusBeforeWait;
    // While a notice holds the status line, status texts wait in m_strStatusUnderNotice.
    QTimer m_notice;
    bool m_bNoticeShown = false;
    std::string m_strStatusUnderNotice;
    static constexpr int kNoFrameCheckMs = 1'000;
    QTimer m_noFrameTimer;
    NoFrameWatch m_noFrameWatch;
};

template <class Result>
void CTorvelDlg::RunDeviceCommand(std::function<Result()> work, std::function<void(Result)> done) {
    const bool started = m_runner.Start<Result>(std::move(work), [this, done](Result result) {
        EndWait();
        done(std::move(result));
    });
    if (started) {
        BeginWait();
    }
}
