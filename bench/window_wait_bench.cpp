// How long the main window's thread goes without running its event loop while a device command
// or the start-up's requests wait on a device that never answers or trickles. The window is the
// real one, logged in to the device emulator over loopback with its live stream running; a 1 ms
// timer on the window's thread records the gaps between its ticks. Reported:
//   idle_pause_ms     the longest gap over the interval with no command running (the reference)
//   waiting_pause_ms  the longest gap over the same interval while the quality command waits
//   startup_pause_ms  the longest gap over the interval from the start-up on while its requests
//                     wait, or, for a device that answers late, until the window has laid
//                     itself out and shows the stream
//   ratio             waiting (or start-up) pause / idle_pause_ms
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/live_session_components.h"
#include "app/process_threads.h"
#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/login.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"
#include "window_pause.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::seconds(2);

// The longest gap between ticks of a 1 ms timer over kInterval of the window thread's life, and
// on until `done` has held for a while, so that the tick after a pause that ends late is counted.
double LongestPauseMs(const std::function<bool()>& done = [] { return true; }) {
    const WindowPauseMeter meter;
    Clock::time_point end = Clock::now() + kInterval;
    while (Clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!done()) {
            end = std::max(end, Clock::now() + std::chrono::milliseconds(200));
        }
    }
    return meter.LongestMs();
}

// A session against the emulator: login, the session's resources and the main window, whose
// start-up requests have been started; released in order at the end.
class Session {
public:
    explicit Session(const std::function<void(device_emulator::Settings&)>& fault) {
        device.Update(fault);
        device.Start();
        platform::SetProgramFolder(TORVEL_RUNTIME_DIR);
        InitKernelObject();
        g_lpApp->CSettingINI.m_strProgramPath = program.Path().string() + "/";
        g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
        SetDeviceAddress("127.0.0.1", device.Port());
        SendLoginRequest("admin", "admin");
        g_lpApp->m_fConnected = 1;
        AllocateSystemBuffer(components);
        InitialSemaphore(components);
        InitProcessResource(components);
        InitLoginResource(components);
        window = std::make_unique<CTorvelDlg>(
            MainWindowServices{components.Pipeline(), components.Recorders(),
                               [this] { return ExitLoginResource(components) != 0; },
                               [] { return ExitProcessResource() != 0; }});
        begun = window->OnInitDialog();
        window->show();
    }

    ~Session() {
        window->DestroyWindow();
        window.reset();
        FreeSystemBuffer(components);
        FreeSemaphore(components);
        platform::JoinAllThreads();
        device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
        platform::SetProgramFolder({});
    }

    // Waits for the start-up's result; true when the window started.
    bool Started() {
        while (window->IsWaitingForDevice()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return window->StartupState() == CTorvelDlg::Startup::Started;
    }

    test_support::TempFolder program;
    test_support::RecordingMessageSink messages;
    device_emulator::DeviceEmulator device;
    LiveSessionComponents components;
    std::unique_ptr<CTorvelDlg> window;
    bool begun = false;
};

void BM_WindowThreadPause(benchmark::State& state) {
    Session session([](device_emulator::Settings&) {});
    if (!session.begun || !session.Started()) {
        state.SkipWithError("the window did not start");
        return;
    }
    session.device.Update([](device_emulator::Settings& s) {
        s.faults["/Setquality.cgi"] = {.action = device_emulator::ReplyAction::Stall};
    });

    // The first frames and the first paint of the skin are no part of either figure.
    LongestPauseMs();
    double idle = 0;
    double waiting = 0;
    for (auto _ : state) {
        idle = LongestPauseMs();
        session.window->OnCommand(1008);
        waiting = LongestPauseMs();
        if (!session.window->IsWaitingForDevice()) {
            state.SkipWithError("the command did not wait on the device");
            break;
        }
        session.window->DestroyWindow();
    }
    state.counters["idle_pause_ms"] = idle;
    state.counters["waiting_pause_ms"] = waiting;
    state.counters["ratio"] = idle > 0 ? waiting / idle : 0;
}

// The start-up's requests held by the device: 0 the device info never answered, 1 a
// supervisor's INF fetch never answered, 2 the device info trickling one byte a second; or
// answered late, and the window's thread measured through the layout that follows the answer:
// 3 the device info after a second, 4 a supervisor's INF section after a second. The window's
// thread from the start-up on (its first paint included), against a window that started
// normally.
void BM_WindowThreadPauseAtStartUp(benchmark::State& state) {
    double idle = 0;
    {
        Session normal([](device_emulator::Settings&) {});
        if (!normal.begun || !normal.Started()) {
            state.SkipWithError("the window did not start");
            return;
        }
        LongestPauseMs();
        idle = LongestPauseMs();
    }
    std::vector<long long> everyByte;
    for (long long i = -40; i < 300; ++i) {
        everyByte.push_back(i);
    }
    const std::pair<const char*, device_emulator::ReplyFaults> faults[] = {
        {"/Getdeviceinfo.cgi", {.action = device_emulator::ReplyAction::Stall}},
        {"/GetSysCfg.cgi", {.action = device_emulator::ReplyAction::Stall}},
        {"/Getdeviceinfo.cgi", {.body_splits = everyByte, .split_pause = std::chrono::seconds(1)}},
        {"/Getdeviceinfo.cgi", {.reply_delay = std::chrono::seconds(1)}},
        {"/GetSysCfg.cgi", {.reply_delay = std::chrono::seconds(1)}},
    };
    const auto& heldFault = faults[state.range(0)];
    const bool answered = heldFault.second.reply_delay.count() > 0;
    double waiting = 0;
    for (auto _ : state) {
        Session held(
            [&](device_emulator::Settings& s) { s.faults[heldFault.first] = heldFault.second; });
        waiting = LongestPauseMs([&] { return !answered || !held.window->IsWaitingForDevice(); });
        if (held.window->IsWaitingForDevice() == answered) {
            state.SkipWithError(answered ? "the start-up did not end"
                                         : "the start-up did not wait on the device");
            break;
        }
        if (answered && held.window->StartupState() != CTorvelDlg::Startup::Started) {
            state.SkipWithError("the window did not start");
            break;
        }
    }
    state.counters["idle_pause_ms"] = idle;
    state.counters["startup_pause_ms"] = waiting;
    state.counters["ratio"] = idle > 0 ? waiting / idle : 0;
}

}  // namespace

BENCHMARK(BM_WindowThreadPause)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowThreadPauseAtStartUp)
    ->DenseRange(0, 4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
