// The live pipeline on loopback: the device emulator sends frames, and the receive thread, the
// packet-header parser, the compose thread's decode, the show thread and the painter turn them
// into painted pictures. Each size runs several rounds, each with its own reference measured right
// after its sessions; the figures are the rounds' median, minimum and maximum. Per picture size:
//   fps             frames per second with the device sending as fast as the viewer reads
//   cpu_us_frame    CPU time of the pipeline's threads per frame, and by stage (receive_us,
//                   compose_us with the decode, show_us, paint_us: the kernel message thread from
//                   the first paint to the last, its waits for the mailbox included)
//   switches_frame  context switches of the pipeline's threads per frame
//   decode_us_frame CPU time of a bare libjpeg-turbo decode of the same frames (bottom-up
//                   blue-green-red, the decoder's default options), right after the session
//   decode_bgrx_us_frame  the same frames decoded as the compose thread does, into the window's
//                   32-bit top-down form
//   ratio           cpu_us_frame / decode_us_frame
//   client_ratio    at 30 frames/s: the pipeline's threads and the window thread, which puts
//                   each frame on screen through the main window's video view, per frame shown,
//                   over the bare decode measured right after that session (window_us: the
//                   window thread alone)
//   lost_at_30fps   frames sent at 30 frames/s but not painted
//   latency_ms_*    from the last byte of a frame to its painted picture, at 30 frames/s
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/process_threads.h"
#include "app/session_components.h"
#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "test_support/null_main_window.h"
#include "ui/queued_call.h"
#include "video/live_pipeline.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Voluntary and involuntary context switches of the calling thread so far.
long ThreadSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

struct ThreadUse {
    double seconds = 0;
    long switches = 0;

    static ThreadUse Now() { return {ThreadCpuSeconds(), ThreadSwitches()}; }
    ThreadUse operator-(const ThreadUse& start) const {
        return {seconds - start.seconds, switches - start.switches};
    }
};

enum Stage { kReceive, kCompose, kShow, kPaint, kStageCount };
constexpr const char* kStageNames[kStageCount] = {"receive", "compose", "show", "paint"};

// CPU time and switches of the pipeline's threads by stage, added as each thread ends; the paint
// stage is the kernel message thread from the start of the first paint to the end of the last.
class CpuMeter {
public:
    void Add(Stage stage, const ThreadUse& use) {
        std::lock_guard lock(m_mutex);
        m_use[stage].seconds += use.seconds;
        m_use[stage].switches += use.switches;
    }
    ThreadUse Use(Stage stage) const {
        std::lock_guard lock(m_mutex);
        return m_use[stage];
    }
    // Called on the kernel message thread around each paint.
    void PaintStarts() {
        if (!m_paintStart) {
            m_paintStart = ThreadUse::Now();
        }
    }
    void PaintEnded() {
        const ThreadUse use = ThreadUse::Now() - *m_paintStart;
        std::lock_guard lock(m_mutex);
        m_use[kPaint] = use;
    }

private:
    mutable std::mutex m_mutex;
    ThreadUse m_use[kStageCount] = {};
    std::optional<ThreadUse> m_paintStart;  // kernel message thread only
};

template <class Body>
std::uint32_t Metered(CpuMeter& meter, Stage stage, Body body) {
    const ThreadUse start = ThreadUse::Now();
    const std::uint32_t result = body();
    meter.Add(stage, ThreadUse::Now() - start);
    return result;
}

class Components : public SessionComponents {
public:
    Components(LivePipeline& pipeline, CpuMeter& meter) : m_pipeline(pipeline), m_meter(meter) {}
    bool AllocateBuffers() override { return true; }
    void FreeBuffers() override {}
    bool CreateResources() override { return true; }
    void FreeResources() override {}
    std::uint32_t GetImageThread() override {
        return Metered(m_meter, kReceive, [this] { return m_pipeline.GetImageThread(); });
    }
    std::uint32_t ComposeThread() override {
        return Metered(m_meter, kCompose, [this] { return m_pipeline.ComposeThread(); });
    }
    std::uint32_t ShowThread() override {
        return Metered(m_meter, kShow, [this] { return m_pipeline.ShowThread(); });
    }
    std::uint32_t ReLoginThread() override { return 0; }
    void StartRecorderThreads(std::uint8_t) override {}
    void StopRecorderThreads() override {}
    void StopAlarmAndScheduleRecording() override {}
    bool LoadAlarmWave(const std::string&) override { return false; }
    void SetAlarmWavePlayEvent(platform::Handle) override {}

private:
    LivePipeline& m_pipeline;
    CpuMeter& m_meter;
};

// The main window's video view, counting what it paints.
class CountingView : public VideoView {
public:
    int Painted() const { return m_painted; }

protected:
    void paintEvent(QPaintEvent* event) override {
        VideoView::paintEvent(event);
        ++m_painted;
    }

private:
    int m_painted = 0;
};

// The main window as the pipeline sees it: frames go through the window's hand-over to a real
// video view on this (the window) thread.
class Window : public test_support::NullMainWindow {
public:
    Window(LivePipeline& pipeline, CpuMeter& meter, CountingView& view)
        : m_pipeline(pipeline), m_meter(meter), m_view(view) {}
    void DrawFrame() override {
        m_meter.PaintStarts();
        m_pipeline.Painter().Paint();
        m_meter.PaintEnded();
    }
    void PresentFrame(std::shared_ptr<const PaintedFrame> frame) override {
        const double latency =
            std::chrono::duration<double, std::milli>(Clock::now() - frame->arrival).count();
        {
            std::lock_guard lock(m_mutex);
            m_latencies.push_back(latency);
            if (m_latencies.size() == m_quitAfter && m_loop) {
                ui::PostCall(m_loop, [loop = m_loop] { loop->quit(); });
            }
        }
        if (m_handOver.Offer(std::move(frame))) {
            ui::PostCall(&m_view, [this] { m_view.SetFrame(m_handOver.Take().frame); });
        }
    }

    std::vector<double> Latencies() const {
        std::lock_guard lock(m_mutex);
        return m_latencies;
    }
    // Ends `loop` once `frames` frames were presented.
    void QuitAfter(std::size_t frames, QEventLoop& loop) {
        std::lock_guard lock(m_mutex);
        m_quitAfter = frames;
        m_loop = &loop;
    }

private:
    LivePipeline& m_pipeline;
    CpuMeter& m_meter;
    CountingView& m_view;
    std::size_t m_quitAfter = 0;
    QEventLoop* m_loop = nullptr;
    PaintedFrameHandOver m_handOver;
    mutable std::mutex m_mutex;
    std::vector<double> m_latencies;
};

// Keeps the first frames pushed, for the bare decode of the same frames.
class Recorder : public RecordingLink {
public:
    std::uint32_t PushPreAlarmFrame(const std::uint8_t* frame, std::uint32_t length,
                                    std::uint32_t) override {
        std::lock_guard lock(m_mutex);
        if (m_frames.size() < kKept) {
            m_frames.emplace_back(frame, frame + length);
        }
        return 1;
    }
    bool AlarmItemPending() const override { return false; }
    std::uint32_t StartAlarmRecord(const std::string&) override { return 1; }
    std::uint32_t StopAlarmRecord() override { return 1; }
    bool ResumeUserRecord() override { return false; }
    std::vector<std::vector<std::uint8_t>> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

private:
    static constexpr std::size_t kKept = 50;
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::uint8_t>> m_frames;
};

struct RunResult {
    double seconds = 0;  // from the start event to the last painted frame
    ThreadUse stages[kStageCount] = {};
    double windowSeconds = 0;  // CPU time of the window thread
    std::size_t painted = 0;
    int shown = 0;  // frames the video view painted
    std::vector<double> latencies;
    std::vector<std::vector<std::uint8_t>> frames;
};

// One session of `frames` frames of the given size at `rate` frames per second (0: full speed).
RunResult RunSession(int width, int height, std::uint64_t frames, double rate) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("torvel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    platform::SetProgramFolder(folder);
    std::ofstream(folder / "CtrlFile.ini") << "[EOF]\nEND\n";
    InitKernelObject();

    CpuMeter meter;
    LivePipeline pipeline;
    Components components(pipeline, meter);
    CountingView view;
    view.resize(width, height);
    view.show();
    QApplication::processEvents();
    Window window(pipeline, meter, view);
    Recorder recorder;
    KernelObject& app = *g_lpApp;
    app.m_pMainDialog = &window;
    app.m_pRecording = &recorder;

    device_emulator::DeviceEmulator device;
    device.Start();
    device.Update([&](device_emulator::Settings& s) {
        s.identity.check_cookie = false;
        s.stream.picture = device_emulator::PictureSize{width, height};
        s.stream.jpeg_quality = 85;
        s.stream.frame_rate = rate;
        s.stream.distinct_pictures = 25;
        s.stream.frame_limit = frames;
        s.stream.end = device_emulator::StreamEnd::Stall;
    });
    SetDeviceAddress("127.0.0.1", device.Port());
    g_szSessionCookie.Set("BENCH");
    AllocateSystemBuffer(components);
    InitialSemaphore(components);
    InitProcessResource(components);
    InitLoginResource(components);

    const auto start = Clock::now();
    const double windowStart = ThreadCpuSeconds();
    platform::SetEvent(app.h_StartToGetJpegImageEvent);
    // The window thread runs its event loop meanwhile, as the client's does, woken only by the
    // frames: the last one ends the loop.
    QEventLoop loop;
    window.QuitAfter(frames, loop);
    QTimer::singleShot(std::chrono::seconds(60), &loop, &QEventLoop::quit);
    loop.exec();
    RunResult result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // Lets frames still under way arrive, so that a count short of `frames` is a real loss.
    QEventLoop settle;
    QTimer::singleShot(std::chrono::milliseconds(200), &settle, &QEventLoop::quit);
    settle.exec();
    result.windowSeconds = ThreadCpuSeconds() - windowStart;
    result.shown = view.Painted();

    platform::StopThread(app.h_GetJpegImageThread, 1'000);
    ExitLoginResource(components);
    ExitProcessResource();
    FreeSystemBuffer(components);
    FreeSemaphore(components);
    platform::JoinAllThreads();
    device.Stop();
    for (int stage = 0; stage < kStageCount; ++stage) {
        result.stages[stage] = meter.Use(static_cast<Stage>(stage));
    }
    result.latencies = window.Latencies();
    result.painted = result.latencies.size();
    result.frames = recorder.Frames();
    delete g_lpApp;
    g_lpApp = nullptr;
    std::filesystem::remove_all(folder);
    return result;
}

// CPU seconds per frame of a bare decode of the frames into bottom-up blue-green-red.
double BareDecodeSeconds(const std::vector<std::vector<std::uint8_t>>& frames, int rounds) {
    tjhandle handle = tjInitDecompress();
    std::vector<std::uint8_t> out;
    const double start = ThreadCpuSeconds();
    for (int r = 0; r < rounds; ++r) {
        for (const auto& frame : frames) {
            int width = 0, height = 0, subsampling = 0, colourspace = 0;
            tjDecompressHeader3(handle, frame.data(), frame.size(), &width, &height, &subsampling,
                                &colourspace);
            out.resize(static_cast<std::size_t>(width) * height * 3);
            tjDecompress2(handle, frame.data(), frame.size(), out.data(), width, width * 3, height,
                          TJPF_BGR, TJFLAG_BOTTOMUP);
            benchmark::DoNotOptimize(out.data());
        }
    }
    const double seconds = ThreadCpuSeconds() - start;
    tjDestroy(handle);
    return seconds / (rounds * static_cast<double>(frames.size()));
}

// The same into the window's 32-bit top-down form, by the decoder the compose thread uses.
double PipelineDecodeSeconds(const std::vector<std::vector<std::uint8_t>>& frames, int rounds) {
    platform::JpegDecoder decoder;
    std::vector<std::uint8_t> out;
    const double start = ThreadCpuSeconds();
    for (int r = 0; r < rounds; ++r) {
        for (const auto& frame : frames) {
            platform::JpegHeader header;
            decoder.ReadHeader(frame.data(), frame.size(), &header);
            out.resize(static_cast<std::size_t>(header.width) * header.height * 4);
            decoder.DecodeTopDownBgrx(frame.data(), frame.size(), out.data(), out.size(), header);
            benchmark::DoNotOptimize(out.data());
        }
    }
    return (ThreadCpuSeconds() - start) / (rounds * static_cast<double>(frames.size()));
}

void BM_Pipeline(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    constexpr std::uint64_t kFullSpeedFrames = 600;
    constexpr std::uint64_t kRealTimeFrames = 150;
    constexpr int kDecodeRounds = 10;
    for (auto _ : state) {
        const RunResult full = RunSession(width, height, kFullSpeedFrames, 0);
        const double decode = BareDecodeSeconds(full.frames, kDecodeRounds);
        state.counters["decode_bgrx_us_frame"] =
            PipelineDecodeSeconds(full.frames, kDecodeRounds) * 1e6;
        const RunResult realTime = RunSession(width, height, kRealTimeFrames, 30);
        const double realTimeDecode = BareDecodeSeconds(full.frames, kDecodeRounds);

        const auto painted = static_cast<double>(full.painted);
        double perFrame = 0;
        long switches = 0;
        for (int stage = 0; stage < kStageCount; ++stage) {
            const double stagePerFrame = full.stages[stage].seconds / painted;
            state.counters[std::string(kStageNames[stage]) + "_us"] = stagePerFrame * 1e6;
            perFrame += stagePerFrame;
            switches += full.stages[stage].switches;
        }
        std::vector<double> latencies = realTime.latencies;
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) {
            return latencies.empty()
                       ? 0.0
                       : latencies[static_cast<std::size_t>(q * (latencies.size() - 1))];
        };
        double mean = 0;
        for (double l : latencies) {
            mean += l / static_cast<double>(latencies.size());
        }
        state.SetIterationTime(full.seconds);
        state.counters["fps"] = painted / full.seconds;
        state.counters["cpu_us_frame"] = perFrame * 1e6;
        state.counters["switches_frame"] = static_cast<double>(switches) / painted;
        state.counters["decode_us_frame"] = decode * 1e6;
        state.counters["ratio"] = perFrame / decode;
        state.counters["lost_full_speed"] = static_cast<double>(kFullSpeedFrames - full.painted);
        state.counters["lost_at_30fps"] = static_cast<double>(kRealTimeFrames - realTime.painted);
        double clientSeconds = realTime.windowSeconds;
        for (const ThreadUse& stage : realTime.stages) {
            clientSeconds += stage.seconds;
        }
        const auto shown = static_cast<double>(std::max(1, realTime.shown));
        state.counters["window_us"] = realTime.windowSeconds / shown * 1e6;
        state.counters["client_ratio"] = clientSeconds / shown / realTimeDecode;
        state.counters["shown_at_30fps"] = shown;
        state.counters["latency_ms_mean"] = mean;
        state.counters["latency_ms_p99"] = at(0.99);
        state.counters["latency_ms_max"] = at(1.0);
    }
}

double Smallest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

double Largest(const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
}

// A loaded machine moves single runs by a third; the rounds' median and range say more.
BENCHMARK(BM_Pipeline)
    ->ArgNames({"w", "h"})
    ->Args({704, 576})
    ->Args({640, 480})
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", Smallest)
    ->ComputeStatistics("max", Largest)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
