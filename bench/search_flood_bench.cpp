// The LAN search while another host floods the answer port with answers, against the same search
// with the one device of the emulator answering. The dialog is the real one; a 1 ms timer on the
// window's thread records the gaps between its ticks. Reported, for the flooded search:
//   answers_sent       datagrams the flooder got out (each a valid answer; 4,096 devices)
//   rows               rows of the device list at the end
//   rss_growth_mb      growth of the resident memory over the search
//   search_s           seconds from the start of the search to its end
//   pause_ms           the longest gap of the window's thread
// and pause_ratio = pause_ms / the longest gap of the search without a flood.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "login/search_dlg.h"
#include "platform/thread.h"
#include "test_support/recording_message_sink.h"
#include "test_support/search_loopback.h"
#include "test_support/udp_flooder.h"
#include "window_pause.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SearchRun {
    double pauseMs = 0;
    double seconds = 0;
    int rows = 0;
};

double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// One search from its start to its end, with the window's thread pumped meanwhile.
SearchRun RunSearch(const LanSearchEndpoints& endpoints) {
    CSearchDlg dialog(nullptr, endpoints);
    dialog.show();
    const WindowPauseMeter meter;
    const Clock::time_point start = Clock::now();
    dialog.OnInitDialog();
    while (dialog.Searching()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    SearchRun run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.pauseMs = meter.LongestMs();
    run.rows = dialog.m_DeviceList->topLevelItemCount();
    return run;
}

std::vector<std::string> FloodAnswers() {
    std::vector<std::string> answers;
    for (int i = 0; i < 4096; ++i) {
        LanSearchDatagram answer;
        answer.operation = static_cast<std::uint8_t>(LanSearchOperation::Search);
        answer.code = 0x32;
        answer.mac = {
            0x02, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
        answer.address = {10, 1, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
        answer.port = 80;
        const LanSearchBytes bytes = EncodeLanSearchDatagram(answer);
        answers.emplace_back(bytes.begin(), bytes.end());
    }
    return answers;
}

void BM_SearchUnderAnswerFlood(benchmark::State& state) {
    test_support::RecordingMessageSink messages;
    g_lpApp = new KernelObject;
    device_emulator::DeviceEmulator device;
    device.Start();
    const LanSearchEndpoints endpoints = test_support::LoopbackSearch(device);
    const std::vector<std::string> answers = FloodAnswers();

    SearchRun quiet;
    SearchRun flooded;
    double growth = 0;
    std::size_t sent = 0;
    for (auto _ : state) {
        quiet = RunSearch(endpoints);
        const double before = ResidentMegabytes();
        {
            const test_support::UdpFlooder flooder(endpoints.replyPort, answers);
            flooded = RunSearch(endpoints);
            sent = flooder.Sent();
        }
        growth = ResidentMegabytes() - before;
    }
    state.counters["answers_sent"] = static_cast<double>(sent);
    state.counters["rows"] = flooded.rows;
    state.counters["rss_growth_mb"] = growth;
    state.counters["search_s"] = flooded.seconds;
    state.counters["pause_ms"] = flooded.pauseMs;
    state.counters["quiet_pause_ms"] = quiet.pauseMs;
    state.counters["pause_ratio"] = quiet.pauseMs > 0 ? flooded.pauseMs / quiet.pauseMs : 0;

    platform::JoinAllThreads();
    device.Stop();
    delete g_lpApp;
    g_lpApp = nullptr;
}

}  // namespace

BENCHMARK(BM_SearchUnderAnswerFlood)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
