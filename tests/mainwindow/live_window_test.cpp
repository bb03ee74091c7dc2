// The main window in a whole session against the device emulator: the real pipeline, recorders,
// resource chains and skin, on the offscreen platform.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <thread>

#include "app/live_session_components.h"
#include "app/process_threads.h"
#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "config/my_system_dialog.h"
#include "config/peripheral_pages.h"
#include "config/video_adjust_dlg.h"
#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/login.h"
#include "protocol/relogin_thread.h"
#include "protocol/remote_key.h"
#include "protocol/session.h"
#include "recording/record_file.h"
#include "status_line_on_screen.h"
#include "test_support/answer_dialog.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/screenshot.h"
#include "test_support/session_release.h"
#include "test_support/temp_folder.h"
#include "ui/message_ids.h"
#include "ui/queued_call.h"
#include "ui/string_table.h"
#include "ui/window_message.h"
#include "video/stream_status.h"

namespace {

using device_emulator::Settings;

using test_support::AnswerNextDialog;
using test_support::PumpUntil;

class LiveWindowTest : public ::testing::Test {
protected:
    LiveWindowTest() {
        platform::SetProgramFolder(TORVEL_SKIN_DIR);
        // The tests count frames and never time them. A slow stream leaves room for the
        // sanitizer builds, which run several of these sessions at once.
        device.Update([](Settings& s) { s.stream.frame_rate = 10.0; });
        device.Start();
    }

    ~LiveWindowTest() override {
        if (window) {
            window->DestroyWindow();
            window.reset();
        }
        if (g_lpApp) {
            test_support::ReleaseSession(components);
        }
        platform::JoinAllThreads();
        platform::SetClockSpeed(1.0);
        device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
        platform::SetProgramFolder({});
    }

    // Logs in as `user` the way the login dialog does, opens the window and waits for its
    // start-up. True when the window started.
    bool Open(const std::string& user = "admin") {
        return Begin(user) && WaitForCommand() &&
               window->StartupState() == CTorvelDlg::Startup::Started;
    }

    // Logs in as `user` and opens the window, whose start-up requests then run. True when they
    // could be started.
    bool Begin(const std::string& user = "admin") {
        EXPECT_EQ(InitKernelObject(), 1u);
        KernelObject& app = *g_lpApp;
        ::CSettingINI& settings = app.CSettingINI;
        settings.m_strProgramPath = program.Path().string() + "/";
        settings.m_strRecordPath = records.Path().string();
        settings.m_strSnapshotPath = snapshots.Path().string();
        settings.m_strServerName = "127.0.0.1";
        settings.m_strUserName = user;
        settings.m_strPassword = user;
        SetDeviceAddress("127.0.0.1", device.Port());
        EXPECT_EQ(SendLoginRequest(user, user), LoginOutcome::LoggedIn);
        app.m_fConnected = 1;
        EXPECT_EQ(AllocateSystemBuffer(components), 1u);
        EXPECT_EQ(InitialSemaphore(components), 1u);
        EXPECT_EQ(InitProcessResource(components), 1u);
        EXPECT_EQ(InitLoginResource(components), 1u);
        window = std::make_unique<CTorvelDlg>(
            MainWindowServices{components.Pipeline(), components.Recorders(),
                               [this] { return ExitLoginResource(components) != 0; },
                               [] { return ExitProcessResource() != 0; }});
        const bool started = window->OnInitDialog();
        window->show();
        return started;
    }

    // After a window's close sequence: the rest of its session goes, so that a case can open the
    // next one.
    void EndSession() {
        window.reset();
        FreeSystemBuffer(components);
        FreeSemaphore(components);
        platform::JoinAllThreads();
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    CTorvelDlg& Window() { return *window; }

    // Waits until the window has taken the result of the device command it runs, if any.
    bool WaitForCommand() {
        return PumpUntil([&] { return !window->IsWaitingForDevice(); });
    }

    // A command of the window, run to its end.
    bool Command(int controlId) {
        const bool handled = window->OnCommand(controlId);
        EXPECT_TRUE(WaitForCommand());
        return handled;
    }

    QRect VideoRect() const { return window->VideoArea()->geometry(); }

    // Waits until the painter has shown `frames` more frames (its count restarts with a stream).
    bool WaitForFrames(int frames) {
        std::uint32_t last = g_lpApp->m_dwFramesShown;
        int seen = 0;
        return PumpUntil([&] {
            const std::uint32_t now = g_lpApp->m_dwFramesShown;
            seen += now != last;
            last = now;
            return seen >= frames;
        });
    }

    std::string LastMessage() const {
        const std::vector<std::string> texts = messages.Texts();
        return texts.empty() ? std::string() : texts.back();
    }

    std::vector<std::filesystem::path> Files(const test_support::TempFolder& folder) const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            files.push_back(entry.path());
        }
        return files;
    }

    void Click(QPoint point) {
        QMouseEvent press(QEvent::MouseButtonPress, point, window->mapToGlobal(point),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, point, window->mapToGlobal(point),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &release);
    }

    // True once the screen shows the window's status text, and `wanted` takes that text. What
    // the window system holds of the window is read, not a fresh rendering of its state: a text
    // that was set but never repainted does not count.
    bool StatusLineShows(const std::function<bool(const std::string&)>& wanted) {
        return PumpUntil([&] {
            const std::string& text = Window().StatusText();
            return wanted(text) && test_support::ShowsStatusText(Window(), text);
        });
    }
    bool StatusLineShows(const std::string& text) {
        return StatusLineShows([&text](const std::string& shown) { return shown == text; });
    }

    test_support::TempFolder program;
    test_support::TempFolder records;
    test_support::TempFolder snapshots;
    test_support::RecordingMessageSink messages;
    device_emulator::DeviceEmulator device;
    LiveSessionComponents components;
    std::unique_ptr<CTorvelDlg> window;
};

TEST_F(LiveWindowTest, LivePictureIsPaintedAndMoves) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(Window().StatusText(), "Start to get image!!");
    ASSERT_TRUE(WaitForFrames(5));
    const QRect video = VideoRect();
    EXPECT_EQ(video, QRect(42, 96, 640, 456));
    const QImage first = Window().grab(video).toImage();
    const std::uint32_t firstShown = g_lpApp->m_dwFramesShown;
    ASSERT_TRUE(WaitForFrames(10));
    // The rates reach the status line after their first interval.
    ASSERT_TRUE(PumpUntil([&] { return Window().StatusText().rfind("FR:", 0) == 0; }));
    const QImage second = Window().grab(video).toImage();
    const std::uint32_t secondShown = g_lpApp->m_dwFramesShown;
    Window().grab().save(TORVEL_SCREENSHOT_DIR "/live-window.png");

    // The test picture is not black, and its frame counter in the top left corner moves. The
    // box holds all four digits: the top halves of some digits (2 and 3) look alike.
    const QRect counter(0, 0, 210, 180);
    EXPECT_NE(first.copy(counter), second.copy(counter))
        << "frames shown " << firstShown << " and " << secondShown;
    int lit = 0;
    for (int y = 0; y < second.height(); y += 16) {
        for (int x = 0; x < second.width(); x += 16) {
            lit += qGray(second.pixel(x, y)) > 40;
        }
    }
    EXPECT_GT(lit, 100);
    EXPECT_EQ(Window().StatusText().rfind("FR:", 0), 0u) << Window().StatusText();
}

TEST_F(LiveWindowTest, WindowFollowsDeviceTypeAndUserClass) {
    struct Case {
        int deviceType;
        const char* user;
        int userClass;
        bool configAllowed;      // 1006
        bool resolutionAllowed;  // 1007
    };
    for (const Case c : {Case{19, "admin", 0, true, true}, Case{8, "guest", 2, false, false},
                         Case{10, "admin", 0, true, true}}) {
        SCOPED_TRACE(c.deviceType);
        device.Update([&](Settings& s) { s.identity.device_type = c.deviceType; });
        if (c.deviceType != 19) {
            device.Update([](Settings& s) { s.identity.report_retr = false; });
        }
        ASSERT_TRUE(Open(c.user));
        EXPECT_EQ(g_lpApp->m_DeviceList.GetCurrentType(), c.deviceType);
        EXPECT_EQ(g_lpApp->m_bUserClass, c.userClass);
        EXPECT_EQ(Window().GetDlgItem(1006)->isEnabled(), c.configAllowed);
        EXPECT_EQ(Window().GetDlgItem(1007)->isEnabled(), c.resolutionAllowed);
        EXPECT_TRUE(Window().GetDlgItem(1002)->isVisible());
        EXPECT_EQ(Window().windowTitle(), "Quarnel : 127.0.0.1");
        ASSERT_TRUE(Window().DestroyWindow());
        EXPECT_FALSE(Window().isVisible());
        EndSession();
    }
}

// A start-up that fails tells the user why, in the box and in trace.log, and runs the close
// sequence; the stream never starts.
TEST_F(LiveWindowTest, AFailedStartUpIsReportedAndClosedThroughTheCloseSequence) {
    using device_emulator::ReplyAction;
    const struct {
        const char* name;
        std::function<void(Settings&)> fault;
        const char* why;
    } cases[] = {
        {"other product", [](Settings& s) { s.identity.product = "Z99X"; },
         " (a device of another product)"},
        {"device info refused",
         [](Settings& s) { s.faults["/Getdeviceinfo.cgi"] = {.status = 404}; },
         " (the device refused the login, status 404)"},
        {"device info cut off",
         [](Settings& s) {
             s.faults["/Getdeviceinfo.cgi"] = {.action = ReplyAction::CloseWithoutReply};
         },
         " (no answer from the device)"},
        {"device info that stops",
         [](Settings& s) { s.faults["/Getdeviceinfo.cgi"] = {.action = ReplyAction::Stall}; },
         " (no answer from the device)"},
        {"device info that cannot be read",
         [](Settings& s) { s.faults["/Getdeviceinfo.cgi"] = {.content_length_delta = 9}; },
         " (an answer the program cannot read)"},
    };
    platform::SetClockSpeed(30.0);  // the 15-second receive time-out of the stopped reply
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::RecordingMessageSink sink;
        device.Update(c.fault);
        device.ClearRequests();
        TraceLogInit(300, program.Path().string() + "/");
        EXPECT_FALSE(Open());
        EXPECT_EQ(Window().StartupState(), CTorvelDlg::Startup::Failed);
        EXPECT_FALSE(Window().isVisible());
        const std::string text = ui::LoadString(4040) + c.why;
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{text});
        TraceLogClose();
        std::ifstream trace(program.Path() / "trace.log");
        const std::string traced{std::istreambuf_iterator<char>(trace), {}};
        EXPECT_NE(traced.find("Start-up at 127.0.0.1:" + std::to_string(device.Port()) +
                              " failed: " + text),
                  std::string::npos)
            << traced;
        EXPECT_FALSE(g_lpApp->h_GetJpegImageThread) << "the session's threads are released";
        EXPECT_TRUE(std::filesystem::exists(program.Path() / "Setting.ini"));
        EXPECT_TRUE(device.Requests("/Getvideo.cgi").empty());
        EndSession();
        std::filesystem::remove(program.Path() / "trace.log");
        device.Update([](Settings& s) {
            s.identity = Settings().identity;
            s.faults.clear();
        });
    }
}

// A device whose reply lines end in a bare LF starts the window as one that ends them in CR LF.
TEST_F(LiveWindowTest, ADeviceThatEndsItsReplyLinesInABareLfStartsTheWindow) {
    for (const device_emulator::ReplyFaults& form :
         {device_emulator::ReplyFaults{.bare_lf = true},
          device_emulator::ReplyFaults{.chunk_size = 5, .bare_lf = true}}) {
        device.Update([&](Settings& s) {
            s.faults["*"] = form;
            s.faults["/Getvideo.cgi"] = {};  // the stream has no header lines
        });
        ASSERT_TRUE(Open());
        EXPECT_EQ(g_lpApp->m_wUserLevel, 30u);
        EXPECT_TRUE(WaitForFrames(1));
        ASSERT_TRUE(Window().DestroyWindow());
        EndSession();
    }
}

// A supervisor's start-up checks the device's model name: a stray eighth character after
// "KLM-300" is cut and the INF section sent back; any other model, another user or a failed
// fetch sends nothing, and the start-up goes on.
TEST_F(LiveWindowTest, ASupervisorsStartUpCutsAStrayCharacterAfterTheModelName) {
    constexpr std::size_t kModel = 24;
    const struct {
        const char* user;
        std::string model;  // the 8 model bytes the device holds
        bool fetched;
        std::string after;  // the model bytes the device holds after the start-up
        int fetchStatus;    // the status of the device's reply to the fetch (0: its own)
    } cases[] = {
        {"admin", std::string("KLM-300X", 8), true, std::string("KLM-300\0", 8), 0},
        {"admin", std::string("KLM-400X", 8), true, std::string("KLM-400X", 8), 0},
        {"guest", std::string("KLM-300X", 8), false, std::string("KLM-300X", 8), 0},
        {"admin", std::string("KLM-300X", 8), true, std::string("KLM-300X", 8), 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " " + c.model + " " + std::to_string(c.fetchStatus));
        std::string inf = device.Section("INF").value();
        inf.replace(kModel, 8, c.model);
        ASSERT_TRUE(device.SetSection("INF", inf));
        device.Update([&](Settings& s) { s.faults["/GetSysCfg.cgi"] = {.status = c.fetchStatus}; });
        device.ClearRequests();
        ASSERT_TRUE(Open(c.user));
        EXPECT_EQ(device.Requests("/GetSysCfg.cgi").size(), c.fetched ? 1u : 0u);
        EXPECT_EQ(device.Requests("/SetSysCfg.cgi").size(), c.after != c.model ? 1u : 0u);
        EXPECT_EQ(device.Section("INF").value().substr(kModel, 8), c.after);
        ASSERT_TRUE(Window().DestroyWindow());
        EndSession();
    }
}

// The start-up's requests run off the window's thread: while the device holds the device info
// or a supervisor's INF fetch, or lets its reply trickle, the window is up and says it waits, its
// thread runs, and a close ends the wait at once with nothing reported and no stream started.
TEST_F(LiveWindowTest, TheWindowIsUpWhileTheStartUpRequestsWaitAndACloseCancelsThem) {
    using namespace std::chrono_literals;
    std::vector<long long> everyByte;
    for (long long i = -40; i < 300; ++i) {
        everyByte.push_back(i);
    }
    const struct {
        const char* name;
        const char* path;
        device_emulator::ReplyFaults fault;
    } cases[] = {
        {"device info held", "/Getdeviceinfo.cgi", {.action = device_emulator::ReplyAction::Stall}},
        {"INF fetch held", "/GetSysCfg.cgi", {.action = device_emulator::ReplyAction::Stall}},
        {"device info trickles",
         "/Getdeviceinfo.cgi",
         {.body_splits = everyByte, .split_pause = 1s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.Update([&](Settings& s) { s.faults[c.path] = c.fault; });
        device.ClearRequests();
        ASSERT_TRUE(Begin());
        EXPECT_TRUE(Window().isVisible());
        EXPECT_EQ(Window().StatusText(), CTorvelDlg::kWaitingText);
        EXPECT_TRUE(Window().GetDlgItem(8202)->isVisible()) << "the window can be closed";
        ASSERT_TRUE(device.WaitForRequests(c.path, 1, 10s));
        bool called = false;
        ui::PostCall(&Window(), [&called] { called = true; });
        EXPECT_TRUE(PumpUntil([&] { return called; }));
        EXPECT_EQ(Window().StartupState(), CTorvelDlg::Startup::Waiting);

        Window().close();
        EXPECT_FALSE(Window().isVisible());
        EXPECT_FALSE(Window().IsWaitingForDevice());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        PumpUntil([] { return false; }, 200);
        EXPECT_TRUE(messages.Texts().empty()) << "a cancelled start-up reports nothing";
        EXPECT_TRUE(device.Requests("/Getvideo.cgi").empty());
        EXPECT_TRUE(device.Requests("/SetSysCfg.cgi").empty());
        EndSession();
        device.Update([](Settings& s) { s.faults.clear(); });
    }
}

// A slow device info is laid out when it arrives: the window waited with its title-bar buttons
// alone, then has the device's controls, and the picture starts. The same window runs modally.
TEST_F(LiveWindowTest, ALateDeviceInfoLaysTheWindowOutAndThePictureStarts) {
    using namespace std::chrono_literals;
    device.Update(
        [](Settings& s) { s.faults["/Getdeviceinfo.cgi"] = {.reply_delay = 1500ms, .times = 1}; });
    ASSERT_TRUE(Begin());
    EXPECT_EQ(Window().StatusText(), CTorvelDlg::kWaitingText);
    EXPECT_EQ(Window().GetDlgItem(1002), nullptr) << "no command button before the device info";
    int exitCode = -1;
    QTimer::singleShot(0, &Window(), [&] {
        EXPECT_TRUE(WaitForCommand());
        EXPECT_EQ(Window().StartupState(), CTorvelDlg::Startup::Started);
        EXPECT_TRUE(Window().GetDlgItem(1002)->isVisible());
        EXPECT_EQ(Window().StatusText(), "Start to get image!!");
        EXPECT_TRUE(WaitForFrames(3));
        Window().close();
    });
    exitCode = Window().exec();
    EXPECT_EQ(exitCode, QDialog::Accepted);
    EXPECT_TRUE(messages.Texts().empty());
}

// The layout after the device's answer leaves the window's thread to its events between its
// steps: a call queued once the answer is taken runs before the stream starts, with the window
// still saying it waits, and a close from there ends the start-up with nothing reported and no
// stream.
TEST_F(LiveWindowTest, TheLayoutAfterTheAnswerRunsInStepsThatACloseEnds) {
    using namespace std::chrono_literals;
    device.Update(
        [](Settings& s) { s.faults["/Getdeviceinfo.cgi"] = {.reply_delay = 300ms, .times = 1}; });
    ASSERT_TRUE(Begin());
    ASSERT_TRUE(PumpUntil([&] { return Window().StartupState() != CTorvelDlg::Startup::Waiting; }));
    ASSERT_EQ(Window().StartupState(), CTorvelDlg::Startup::Building);
    EXPECT_TRUE(Window().IsWaitingForDevice());
    std::optional<CTorvelDlg::Startup> between;
    std::string status;
    ui::PostCall(&Window(), [&] {
        between = Window().StartupState();
        status = Window().StatusText();
        Window().close();
    });
    EXPECT_TRUE(PumpUntil([&] { return between.has_value(); }));
    EXPECT_EQ(between, CTorvelDlg::Startup::Building);
    EXPECT_EQ(status, CTorvelDlg::kWaitingText);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    PumpUntil([] { return false; }, 200);
    EXPECT_NE(Window().StartupState(), CTorvelDlg::Startup::Started);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_TRUE(device.Requests("/Getvideo.cgi").empty());
}

TEST_F(LiveWindowTest, FullScreenScalesThePictureAndEscBringsTheWindowBack) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(3));
    const QSize screen = QApplication::primaryScreen()->availableGeometry().size();
    ASSERT_TRUE(Window().OnCommand(8201));
    ASSERT_TRUE(PumpUntil([&] { return Window().size() == screen; }));
    ASSERT_TRUE(WaitForFrames(3));
    EXPECT_FALSE(Window().GetDlgItem(8200)->isVisible());
    EXPECT_TRUE(Window().GetDlgItem(1005)->isVisible());
    EXPECT_EQ(VideoRect(), QRect(QPoint(0, 0), screen));
    const QImage full = Window().grab().toImage();
    // The picture fills the screen: its right and bottom edges are painted too.
    EXPECT_GT(qGray(full.pixel(screen.width() - 40, screen.height() / 2)) +
                  qGray(full.pixel(screen.width() / 2, screen.height() - 40)),
              40);

    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &esc);
    EXPECT_FALSE(Window().IsFullScreen());
    EXPECT_EQ(Window().size(), QSize(722, 608));
    EXPECT_TRUE(Window().GetDlgItem(8200)->isVisible());
    EXPECT_TRUE(Window().isVisible()) << "Esc never closes the window";
    ASSERT_TRUE(WaitForFrames(3));
    EXPECT_EQ(VideoRect(), QRect(42, 96, 640, 456));
}

TEST_F(LiveWindowTest, KeySendsItsProtocolBytesWithTheTurboArgument) {
    ASSERT_TRUE(Open());
    const CtrlProtocol* protocol = CurrentProtocol();
    ASSERT_NE(protocol, nullptr);
    Window().OnCommand(8192);
    ASSERT_TRUE(Window().GetDlgItem(8241)->isVisible());
    const KeyContext context{0, 0, 0, g_lpApp->m_DeviceList.GetState() != 0};

    device.ClearRequests();
    Window().GetDlgItem(8241)->click();  // UP, a motion key
    ASSERT_TRUE(WaitForCommand());
    Window().OnCommand(8310);  // turbo on
    Window().GetDlgItem(8241)->click();
    ASSERT_TRUE(WaitForCommand());
    Window().GetDlgItem(8232)->click();  // PLAY ignores turbo
    ASSERT_TRUE(WaitForCommand());
    const auto sent = device.Requests("/RS485Cmd.cgi");
    ASSERT_EQ(sent.size(), 3u);
    const auto body = [&](int key, std::uint8_t argument) {
        const auto bytes = BuildKeyBody(*protocol, protocol->Keys[key], argument, context);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    };
    EXPECT_EQ(sent[0].body, body(55, 1));
    EXPECT_EQ(sent[1].body, body(55, g_lpApp->m_bKeyMode));
    EXPECT_EQ(sent[2].body, body(53, 1));
    EXPECT_EQ(sent[0].Param("MASTER"), "1");
}

TEST_F(LiveWindowTest, PtzSwitchHandsTheKeysToThePeripheralAndAClickSendsTheCell) {
    device.Update([](Settings& s) { s.identity.peripherals = {{3, 1, 0}, {4, 1, 1}}; });
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(2));
    AnswerNextDialog<CSelectPTZDlg>([](CSelectPTZDlg& d) {
        EXPECT_FALSE(d.m_btnEsc.isVisible()) << "no way back from the master";
        d.m_editNumber.setText("2");
        d.m_btnOk.click();
    });
    device.ClearRequests();
    Command(8312);
    CDeviceList& devices = g_lpApp->m_DeviceList;
    EXPECT_FALSE(devices.IsCurrentMaster());
    EXPECT_EQ(devices.GetCurrentType(), PTZ_PELCO);
    EXPECT_EQ(Window().GetDlgItem(8312)->GetImageIndex(), 1);
    EXPECT_EQ(g_lpApp->m_bHotPointMode, 2);
    ASSERT_EQ(device.Requests("/PTZReset.cgi").size(), 1u);
    auto switched = device.Requests("/RS485Cmd.cgi");
    ASSERT_EQ(switched.size(), 1u);
    EXPECT_EQ(switched[0].body, std::string("\x02\x05\x07\x01\x32"));

    // A click at column 3 (on the edge to 4) and row 2 of the 40 x 38 grid.
    device.ClearRequests();
    const QRect video = VideoRect();
    Click(video.topLeft() + QPoint(4 * 40, 2 * 38 + 10));
    ASSERT_TRUE(PumpUntil([&] { return device.Requests("/RS485Cmd.cgi").size() == 1; }));
    ASSERT_TRUE(WaitForCommand());
    const auto click = device.Requests("/RS485Cmd.cgi")[0];
    const std::uint8_t cell = 3 + 16 * 2;
    const std::uint8_t level = 60;
    const std::uint8_t sum = static_cast<std::uint8_t>(0xD0 + 4 + level + 0x52 + cell);
    EXPECT_EQ(click.body, std::string({'\x07', '\xD0', '\x04', static_cast<char>(level), '\x52',
                                       static_cast<char>(cell), '\x00', static_cast<char>(sum),
                                       '\x01', '\x32'}));
    EXPECT_EQ(click.Param("CH"), "1");
    EXPECT_EQ(click.Param("MASTER"), "0");
    EXPECT_EQ(g_lpApp->m_wHotBoxX, 160);
    // The answer has the box drawn in the next four frames; the painter may have drawn one since.
    const std::uint16_t boxFrames = g_lpApp->m_wHotBoxFrames;
    EXPECT_TRUE(boxFrames >= 1 && boxFrames <= 4) << boxFrames;

    // The device refuses the way back: the window stays with the peripheral.
    const QString tip = Window().GetDlgItem(8312)->toolTip();
    device.Update([](Settings& s) { s.faults["/RS485Cmd.cgi"] = {.status = 500, .times = 1}; });
    AnswerNextDialog<CSelectPTZDlg>([](CSelectPTZDlg& d) { d.m_btnEsc.click(); });
    Command(8312);
    EXPECT_FALSE(devices.IsCurrentMaster());
    EXPECT_EQ(devices.GetCurrentType(), PTZ_PELCO);
    EXPECT_EQ(Window().GetDlgItem(8312)->GetImageIndex(), 1);
    EXPECT_EQ(Window().GetDlgItem(8312)->toolTip(), tip);
    EXPECT_EQ(g_lpApp->m_bHotPointMode, 2);
    EXPECT_EQ(g_lpApp->m_wHotBoxFrames, 0);
    EXPECT_EQ(LastMessage(), ui::LoadString(4065));

    // Accepted now: back to the master.
    AnswerNextDialog<CSelectPTZDlg>([](CSelectPTZDlg& d) { d.m_btnEsc.click(); });
    Command(8312);
    EXPECT_TRUE(devices.IsCurrentMaster());
    EXPECT_EQ(Window().GetDlgItem(8312)->GetImageIndex(), 0);
    EXPECT_EQ(g_lpApp->m_bHotPointMode, 1);
    EXPECT_EQ(device.Requests("/RS485Cmd.cgi").back().body, std::string("\x01\x10\x01\x32"));
}

TEST_F(LiveWindowTest, ConfigurationSheetHandsItsLocalSettingsBackOnlyAfterApply) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(1));
    ::CSettingINI& settings = g_lpApp->CSettingINI;
    const std::string before = settings.m_strRecordPath;
    const std::string newFolder = (records.Path() / "new-records").string();
    g_lpApp->m_bKeyMode = 5;

    AnswerNextDialog<MySystemDialog>([&](MySystemDialog& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "System setting");
        EXPECT_EQ(sheet.m_RecordPage.m_strRecordPath, before);
        EXPECT_EQ(sheet.m_ToolBoxPage.m_nTurboStep, 4);
        EXPECT_TRUE(sheet.m_AlarmPage.m_clearAlarmFlag)
            << "the alarm page reaches the stream's latch";
        sheet.m_RecordPage.m_strRecordPath = newFolder;
        sheet.m_ToolBoxPage.m_nTurboStep = 2;
        sheet.m_btnExit.click();
    });
    device.ClearRequests();
    ASSERT_TRUE(Command(1006));
    EXPECT_EQ(settings.m_strRecordPath, before) << "EXIT keeps the settings";
    EXPECT_EQ(g_lpApp->m_bKeyMode, 5);
    std::vector<std::string> fetched;
    for (const auto& request : device.Requests("/GetSysCfg.cgi")) {
        fetched.push_back(request.Param("Option").value_or("?"));
    }
    EXPECT_EQ(fetched, (std::vector<std::string>{"IP", "ONLINE", "ALARM", "SECURE", "SMTP", "FTP",
                                                 "RS485", "DVRLIVE", "DVRREC", "PPPOE", "DNS"}));

    AnswerNextDialog<MySystemDialog>([&](MySystemDialog& sheet) {
        std::filesystem::create_directories(TORVEL_SCREENSHOT_DIR);
        sheet.grab().save(TORVEL_SCREENSHOT_DIR "/config-sheet.png");
        sheet.m_RecordPage.m_strRecordPath = newFolder;
        sheet.m_ToolBoxPage.m_nTurboStep = 2;
        sheet.m_btnApply.click();
    });
    ASSERT_TRUE(Command(1006));
    EXPECT_EQ(settings.m_strRecordPath, newFolder);
    EXPECT_TRUE(std::filesystem::is_directory(newFolder));
    EXPECT_EQ(g_lpApp->m_bKeyMode, 3);
    EXPECT_TRUE(device.Requests("/SetSysCfg.cgi").empty()) << "nothing was edited on the device";
}

TEST_F(LiveWindowTest, AnEditedBusListTakesTheKeysBackFromAPeripheralThatIsNoLongerAPtz) {
    device.Update([](Settings& s) { s.identity.peripherals = {{3, 1, 0}, {4, 1, 1}}; });
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(1));
    AnswerNextDialog<CSelectPTZDlg>([](CSelectPTZDlg& d) {
        d.m_editNumber.setText("2");
        d.m_btnOk.click();
    });
    Command(8312);
    CDeviceList& devices = g_lpApp->m_DeviceList;
    ASSERT_FALSE(devices.IsCurrentMaster());
    ASSERT_EQ(Window().GetDlgItem(8312)->GetImageIndex(), 1);

    // The sheet leaves bus entry 1 a camera.
    AnswerNextDialog<MySystemDialog>([](MySystemDialog& sheet) {
        g_lpApp->m_SysCfg.RS485[28 + 1] = 0;
        sheet.m_fDeviceListChanged = 1;
        sheet.m_btnApply.click();
    });
    Command(1006);
    PumpUntil([&] { return devices.IsCurrentMaster() != 0; });
    EXPECT_TRUE(devices.IsCurrentMaster());
    EXPECT_EQ(Window().GetDlgItem(8312)->GetImageIndex(), 0);
    EXPECT_EQ(Window().GetDlgItem(8312)->toolTip(), "PTZ_CONTROL_OFF");
}

TEST_F(LiveWindowTest, TheSheetsPauseAfterAnAddressChangeKeepsTheWindowsRunning) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(1));
    MySystemDialog sheet("System setting", &Window(), 0);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    const std::uint32_t shown = g_lpApp->m_dwFramesShown;
    // The pause the sheet takes after an address change: long enough for timers and frames on
    // a loaded machine under a sanitizer.
    sheet.m_wait(3'000);
    EXPECT_GT(ticks, 0) << "the window's timers ran during the pause";
    EXPECT_NE(g_lpApp->m_dwFramesShown, shown) << "the live picture went on meanwhile";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(sheet.isEnabled());
}

TEST_F(LiveWindowTest, AFailedSectionFetchOpensNoSheet) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(1));
    device.Update([](Settings& s) { s.faults["/GetSysCfg.cgi"] = {.status = 500, .times = 1}; });
    device.ClearRequests();
    bool sheetOpened = false;
    QTimer::singleShot(0, [&sheetOpened] {
        if (auto* sheet = qobject_cast<MySystemDialog*>(QApplication::activeModalWidget())) {
            sheetOpened = true;
            sheet->m_btnExit.click();
        }
    });
    ASSERT_TRUE(Command(1006));
    QApplication::processEvents();
    EXPECT_FALSE(sheetOpened);
    EXPECT_EQ(LastMessage(), ui::LoadString(4029));
    EXPECT_EQ(device.Requests("/GetSysCfg.cgi").size(), 1u) << "the fetch stops at the failure";
}

TEST_F(LiveWindowTest, PictureAdjustStartsFromTheDeviceValuesAndSendsTheChangeBack) {
    std::string img = *device.Section("IMG");
    img.replace(7, 4, "\x0A\x14\x1E\x28");
    ASSERT_TRUE(device.SetSection("IMG", img));
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(2));
    AnswerNextDialog<CVideoAdjustDlg>([](CVideoAdjustDlg& d) {
        // Brightness, contrast, hue and saturation are IMG bytes 7 to 10.
        EXPECT_EQ(d.m_edits[0].text(), "10");
        EXPECT_EQ(d.m_edits[2].text(), "30");
        EXPECT_EQ(d.m_edits[3].text(), "40");
        d.m_sliders[3].setValue(200);
        d.m_btnOK.click();
        // Leaving while the send runs would end it.
        ASSERT_TRUE(PumpUntil([&d] { return !d.IsWaitingForDevice(); }));
        d.m_btnCancel.click();
    });
    Command(1003);
    EXPECT_EQ(device.Section("IMG")->substr(7, 4), "\x0A\x14\x1E\xC8");
}

// A full disk, as a file-size limit: the recording ends by itself and the button says so, so the
// next press starts a recording instead of "stopping" one that is gone. The user is told in a box
// that stays; a recording that could write nothing leaves no file.
TEST_F(LiveWindowTest, TheRecordButtonFollowsARecordingThatAWriteFailureEnded) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(3));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    Window().OnCommand(1005);
    ASSERT_EQ(Window().GetDlgItem(1005)->GetImageIndex(), 1);
    struct rlimit limited = old;
    limited.rlim_cur = 1;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool ended = PumpUntil([&] { return Window().GetDlgItem(1005)->GetImageIndex() == 0; });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ended);
    EXPECT_EQ(Window().GetDlgItem(1005)->toolTip(), "RECORD");
    ASSERT_TRUE(PumpUntil([&] { return !messages.Texts().empty(); }));
    const std::string box = messages.Texts().back();
    EXPECT_TRUE(box.starts_with("Write record file is failed")) << box;
    EXPECT_NE(box.find("USER_MJPEG_"), std::string::npos) << box;
    EXPECT_NE(box.find("no file was kept"), std::string::npos) << box;
    EXPECT_TRUE(Files(records).empty());

    Window().OnCommand(1005);
    EXPECT_EQ(Window().GetDlgItem(1005)->GetImageIndex(), 1);
    EXPECT_EQ(Files(records).size(), 1u) << "the press started a new recording";
    Window().OnCommand(1005);
}

TEST_F(LiveWindowTest, SnapshotAndManualRecordingAreWrittenAndRecordingStopsAfterDisconnect) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(3));
    Window().OnCommand(1004);
    // The file appears before its last bytes are written: wait until it reads as a picture.
    QImage snapshot;
    ASSERT_TRUE(PumpUntil([&] {
        const auto files = Files(snapshots);
        return !files.empty() && snapshot.load(QString::fromStdString(files[0].string()));
    }));
    EXPECT_EQ(snapshot.size(), QSize(640, 456));
    // The status line names the file for a few seconds, through the rate texts that come every
    // second, and then goes back to the rates.
    const std::string notice = "Snapshot " + Files(snapshots)[0].filename().string() + " saved";
    ASSERT_TRUE(StatusLineShows(notice));
    test_support::SaveScreenshot(Window(), "live-snapshot-notice");
    std::vector<std::string> shown{notice};
    ASSERT_TRUE(PumpUntil([&] {
        if (Window().StatusText() != shown.back()) {
            shown.push_back(Window().StatusText());
        }
        return shown.back().rfind("FR:", 0) == 0;
    }));
    EXPECT_EQ(shown.size(), 2u) << shown[1];

    Window().OnCommand(1005);
    EXPECT_EQ(Window().GetDlgItem(1005)->GetImageIndex(), 1);
    ASSERT_TRUE(WaitForFrames(10));
    Command(1002);  // disconnect: the stream stops
    EXPECT_EQ(g_lpApp->m_fConnected, 0u);
    PumpUntil([] { return g_lpApp->m_fVideoReady == 0; });
    const auto before = messages.Texts().size();
    Window().OnCommand(1005);  // the recording still stops
    EXPECT_EQ(messages.Texts().size(), before) << LastMessage();
    EXPECT_EQ(Window().GetDlgItem(1005)->GetImageIndex(), 0);
    EXPECT_EQ(Window().GetDlgItem(1005)->toolTip(), "RECORD");

    const auto files = Files(records);
    ASSERT_EQ(files.size(), 1u);
    recording::RecordFileReader reader;
    ASSERT_TRUE(reader.Open(files[0])) << reader.Error();
    EXPECT_TRUE(reader.Indexed());
    EXPECT_GE(reader.Frames().size(), 5u);
    const auto frame = reader.ReadFrame(0);
    ASSERT_GE(frame.size(), 2u);
    EXPECT_EQ(frame[0], 0xFF);
    EXPECT_EQ(frame[1], 0xD8);
}

TEST_F(LiveWindowTest, ResolutionAndQualityFollowTheDevice) {
    ASSERT_TRUE(Open());
    Command(1007);
    EXPECT_EQ(device.Snapshot().state.resolution, 1);
    EXPECT_EQ(Window().GetDlgItem(1007)->GetImageIndex(), 1);
    for (int expected : {1, 2, 0}) {
        Command(1008);
        EXPECT_EQ(device.Snapshot().state.quality, expected);
        EXPECT_EQ(Window().GetDlgItem(1008)->GetImageIndex(), expected);
    }
    device.Update(
        [](Settings& s) { s.faults["/Setresolution.cgi"] = {.status = 500, .times = 1}; });
    Command(1007);
    EXPECT_EQ(g_lpApp->CSettingINI.m_nResolution, 1u);
    EXPECT_EQ(Window().GetDlgItem(1007)->GetImageIndex(), 1);
    EXPECT_EQ(LastMessage(), ui::LoadString(4066));
    // A stored small-picture index starts the cycle over at the large picture.
    g_lpApp->CSettingINI.m_nResolution = 2;
    Command(1007);
    EXPECT_EQ(g_lpApp->CSettingINI.m_nResolution, 0u);
}

TEST_F(LiveWindowTest, WindowLivesOnWhileACommandWaitsOnAStalledDeviceAndCloseCancelsIt) {
    using namespace std::chrono_literals;
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(2));
    device.Update([](Settings& s) {
        s.faults["/Setquality.cgi"] = {.action = device_emulator::ReplyAction::Stall};
    });
    device.ClearRequests();
    const std::uint32_t resolution = g_lpApp->CSettingINI.m_nResolution;
    Window().OnCommand(1008);
    ASSERT_TRUE(device.WaitForRequests("/Setquality.cgi", 1, 5s));
    EXPECT_TRUE(Window().IsWaitingForDevice()) << "the window came back before the device did";
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);

    // Timers fire, the picture moves, and the user is told what the program waits for.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 20; }));
    EXPECT_TRUE(WaitForFrames(5));
    EXPECT_TRUE(PumpUntil([&] { return Window().StatusText() == CTorvelDlg::kWaitingText; }));
    ASSERT_TRUE(Window().IsWaitingForDevice());

    // Nothing else reaches the device meanwhile.
    for (const int command : {1007, 8241, 8311, 1006}) {
        Window().OnCommand(command);
    }
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(device.Requests().size(), 1u) << device.Requests().back().path;
    EXPECT_EQ(g_lpApp->CSettingINI.m_nResolution, resolution);

    // Closing cancels the command the device still holds: the window waits no more and reports
    // nothing.
    ASSERT_TRUE(Window().DestroyWindow());
    EXPECT_FALSE(Window().IsWaitingForDevice());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(messages.Texts().empty()) << "a cancelled command reports nothing";
}

TEST_F(LiveWindowTest, ASlowAnswerIsAppliedAfterTheWaitAndTheStatusComesBack) {
    using namespace std::chrono_literals;
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(2));
    device.Update([](Settings& s) { s.faults["/Setquality.cgi"] = {.reply_delay = 1500ms}; });
    Window().OnCommand(1008);
    ASSERT_TRUE(PumpUntil([&] { return Window().StatusText() == CTorvelDlg::kWaitingText; }));
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(device.Snapshot().state.quality, 1);
    EXPECT_EQ(Window().GetDlgItem(1008)->GetImageIndex(), 1);
    EXPECT_NE(Window().StatusText(), CTorvelDlg::kWaitingText);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(LiveWindowTest, AMissingAlarmSoundIsReportedOnceAnAlarmAndTheShippedOnePlays) {
    device.Update([](Settings& s) {
        s.stream.alarm_on_frames = 1'000'000;
        s.stream.alarm_off_frames = 1;
    });
    ASSERT_TRUE(Open());
    g_lpApp->CSettingINI.m_strTriggerWavPath = (program.Path() / "missing.wav").string();
    const std::string failed = ui::LoadString(4096);
    const auto failures = [&] { return std::ranges::count(messages.Texts(), failed); };
    ASSERT_TRUE(PumpUntil([&] { return failures() == 1; }));
    ASSERT_TRUE(WaitForFrames(20)) << "every one of them asks for the sound again";
    EXPECT_EQ(failures(), 1);

    // The alarm ends, the next one begins: the user hears of it once more.
    ui::PostMessage(Window().Handle(), ui::WM_POSTALARMAUDIO, 0, 2);
    ASSERT_TRUE(PumpUntil([&] { return failures() == 2; }));
    ASSERT_TRUE(WaitForFrames(10));
    EXPECT_EQ(failures(), 2);

    // The sound the build puts beside the program is the fall-back.
    std::filesystem::copy_file(std::filesystem::path(TORVEL_SKIN_DIR) / "alarm.wav",
                               program.Path() / "alarm.wav");
    ui::PostMessage(Window().Handle(), ui::WM_POSTALARMAUDIO, 0, 2);
    EXPECT_TRUE(PumpUntil([] { return g_lpApp->m_fAlarmSoundOn != 0; }));
    EXPECT_EQ(failures(), 2);
}

TEST_F(LiveWindowTest, DroppedStreamShowsTheReloginAndThePictureComesBack) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(3));
    // The re-login's pauses pass faster; its time-outs, 4 s for a frame, still hold on a loaded
    // machine under a sanitizer.
    platform::SetClockSpeed(5.0);
    device.Update([](Settings& s) {
        s.faults["/Getvideo.cgi"] = {.action = device_emulator::ReplyAction::CloseWithoutReply,
                                     .times = 2};
        s.stream.frame_limit = 1;
    });
    std::vector<std::string> seen;
    const bool relogin = PumpUntil(
        [&] {
            const std::string& text = Window().StatusText();
            if (seen.empty() || seen.back() != text) {
                seen.push_back(text);
            }
            return std::find(seen.begin(), seen.end(), "Start login") != seen.end();
        },
        20'000);
    EXPECT_TRUE(relogin);
    device.Update([](Settings& s) { s.stream.frame_limit = 0; });
    EXPECT_TRUE(WaitForFrames(5)) << "the picture is back";
}

// The status texts the window shows, in order, until `done` sees the current one.
std::vector<std::string> StatusTextsUntil(const CTorvelDlg& window,
                                          const std::function<bool(const std::string&)>& done) {
    std::vector<std::string> seen;
    PumpUntil([&] {
        const std::string& text = window.StatusText();
        if (seen.empty() || seen.back() != text) {
            seen.push_back(text);
        }
        return done(text);
    });
    return seen;
}

// True when `text` is the no-picture text of some count of seconds, at least the notice's own,
// for the `skipped` frames. The window's timer may check late on a loaded machine, so the count
// is not fixed.
bool IsNoFrameText(const std::string& text, const SkippedFrame& skipped) {
    const std::string prefix = "No picture for ";
    if (text.rfind(prefix, 0) != 0) {
        return false;
    }
    const std::uint32_t seconds =
        static_cast<std::uint32_t>(std::stoul(text.substr(prefix.size())));
    return seconds >= NoFrameWatch::kNoticeMs / 1000 && text == NoFrameText(seconds, skipped);
}

// A stall replaces the last frame rate on the status line with the time without a picture.
TEST_F(LiveWindowTest, AStreamThatStallsSaysSoInsteadOfTheLastFrameRate) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(3));
    ASSERT_TRUE(PumpUntil([&] { return Window().StatusText().rfind("FR:", 0) == 0; }));
    device.Update([](Settings& s) {
        s.stream.frame_limit = 1;
        s.stream.end = device_emulator::StreamEnd::Stall;
    });
    const std::vector<std::string> seen = StatusTextsUntil(
        Window(), [](const std::string& text) { return text.rfind("No picture for ", 0) == 0; });
    EXPECT_TRUE(IsNoFrameText(seen.back(), {})) << ::testing::PrintToString(seen);
    EXPECT_TRUE(StatusLineShows([](const std::string& text) { return IsNoFrameText(text, {}); }));
}

TEST_F(LiveWindowTest, ARefusedStreamIsToldOnTheStatusLine) {
    device.Update([](Settings& s) { s.stream.refuse_status = 503; });
    ASSERT_TRUE(Open());
    // The text up to the time of the next attempt, which the re-login thread chooses.
    const std::string told = RefusedStreamText(503, 0);
    const std::string prefix = told.substr(0, told.find(". "));
    EXPECT_TRUE(StatusLineShows([&prefix](const std::string& text) {
        return text.rfind(prefix, 0) == 0;
    })) << Window().StatusText();
}

// Frames over the socket buffer and JFIF frames are not shown: the screen tells the user once
// what the device sends, and the no-picture line that follows says what the skipped frames were.
TEST_F(LiveWindowTest, FramesThisProgramDoesNotShowAreToldToTheUser) {
    struct Case {
        const char* name;
        std::function<void(Settings&)> device;
        SkippedFrame skipped;
    };
    constexpr std::uint32_t kLength = kSocketBufferSize + 1;
    const Case cases[] = {
        {"over the socket buffer",
         [](Settings& s) {
             s.stream.corruption = device_emulator::FrameCorruption::Padded;
             s.stream.damage_length = kLength;
         },
         {kLength}},
        {"JFIF", [](Settings& s) { s.stream.jfif = true; }, {0, {0xFF, 0xD8, 0xFF, 0xE0}, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.Update(c.device);
        ASSERT_TRUE(Open());
        EXPECT_TRUE(StatusLineShows(SkippedFrameText(c.skipped))) << Window().StatusText();
        EXPECT_TRUE(StatusLineShows([&c](const std::string& text) {
            return IsNoFrameText(text, c.skipped);
        })) << Window().StatusText();
        EXPECT_EQ(g_lpApp->m_dwFramesShown, 0u);
        ASSERT_TRUE(Window().DestroyWindow());
        EndSession();
        device.Update([](Settings& s) {
            s.stream = {};
            s.stream.frame_rate = 10.0;
        });
    }
}

// The R.E.T.R. button shows what the device reports, after the first login as after a
// reconnect, when the device's report changes in between.
TEST_F(LiveWindowTest, TheRetrButtonShowsTheDevicesStateAfterTheLoginAndAfterAReconnect) {
    device.Update([](Settings& s) { s.state.retr = 1; });
    ASSERT_TRUE(Open());
    const ui::CVtxButton& button = *Window().GetDlgItem(8331);
    EXPECT_EQ(button.GetImageIndex(), 1);
    EXPECT_EQ(button.toolTip(), "R.E.T.R.(Enable)");
    ASSERT_TRUE(WaitForFrames(2));
    // The re-login's pauses pass faster.
    platform::SetClockSpeed(5.0);
    for (const int retr : {1, 0}) {
        SCOPED_TRACE(retr);
        const std::size_t streams = device.Requests("/Getvideo.cgi").size();
        device.Update([retr](Settings& s) {
            s.state.retr = retr;
            s.stream.frame_limit = 1;
            s.stream.frame_limit_once = true;
        });
        ASSERT_TRUE(
            PumpUntil([&] { return device.Requests("/Getvideo.cgi").size() > streams; }, 30'000));
        ASSERT_TRUE(WaitForFrames(2));
        EXPECT_EQ(g_lpApp->m_DeviceList.GetState(), retr);
        EXPECT_EQ(button.GetImageIndex(), retr);
        EXPECT_EQ(button.toolTip(), retr ? "R.E.T.R.(Enable)" : "R.E.T.R.(Disable)");
    }
}

TEST_F(LiveWindowTest, LifetimeExpiryClosesTheWindow) {
    device.Update([](Settings& s) { s.identity.lifetime = "1"; });
    ASSERT_TRUE(Open());
    EXPECT_EQ(g_lpApp->m_dwLifeTime, 1u);
    // The minute passes in 6 s. A faster clock would cut the 20 s the stream may go without a
    // frame below what a loaded machine under a sanitizer keeps, and a new login starts the
    // count again.
    platform::SetClockSpeed(10.0);
    ASSERT_TRUE(PumpUntil([&] { return !Window().isVisible(); }, 60'000));
    EXPECT_TRUE(std::filesystem::exists(program.Path() / "Setting.ini"));
    EXPECT_EQ(g_lpApp->m_pMainDialog.load(), nullptr);
}

// The connect button pressed at random moments of a session's coming up, streaming and going
// down: there is never a second set of session threads, and the close chains leave no thread and
// no handle behind.
TEST_F(LiveWindowTest, ConnectAndDisconnectAtAnyMomentKeepOneSessionSet) {
    const std::size_t objectsBefore = platform::OpenObjectCount();
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitForFrames(2));
    // The process threads and one session set, and the re-login thread and the alarm-sound player,
    // which come and go; a second set would add four more.
    const std::size_t full = platform::RunningThreadCount() + 2;
    platform::SetClockSpeed(10.0);
    std::mt19937 random(14);
    // The connect and disconnect steps run on the window's command thread, which is one more.
    for (int press = 0; press < 40; ++press) {
        SCOPED_TRACE(press);
        EXPECT_TRUE(Command(1002));
        EXPECT_LE(platform::RunningThreadCount(), full + 1);
        const int pauseMs = std::uniform_int_distribution<int>(0, 400)(random);
        PumpUntil([&] { return platform::RunningThreadCount() > full + 1; }, pauseMs);
        EXPECT_LE(platform::RunningThreadCount(), full + 1);
    }
    if (g_lpApp->m_fConnected != 0) {
        EXPECT_TRUE(Command(1002));
    }
    ASSERT_TRUE(Window().DestroyWindow());
    window.reset();
    ExitLoginResource(components);
    ExitProcessResource();
    FreeSemaphore(components);
    EXPECT_EQ(platform::RunningThreadCount(), 0u);
    // The resource chains' lock, made by the program's first chain, lives as long as the
    // program; it is the one object that may be new (ctest runs this test in a process of its
    // own, where it always is).
    EXPECT_LE(platform::OpenObjectCount(), objectsBefore + 1);
}

}  // namespace
