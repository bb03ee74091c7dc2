// Opening a record file of very many small frames whose index is broken or missing, against
// reading the same file's bytes whole into memory. Reported for each damage:
//   frames           frames in the file
//   read_ms          reading the file's bytes
//   whole_ms         opening the file with its index intact (the reader then walks nothing)
//   damaged_ms       opening the damaged one
//   damaged_ratio    damaged_ms / read_ms
// The player's own open of the damaged file, off its window's thread, is BM_PlayerOpens:
//   open_ms          from the open to the first frame on the screen
//   pause_ms         the longest gap of the window's thread meanwhile
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <fstream>

#include "player_window.h"
#include "recording/record_file.h"
#include "test_support/long_recording.h"
#include "test_support/temp_folder.h"
#include "window_pause.h"

namespace {

using Clock = std::chrono::steady_clock;
using test_support::LongRecording;
using test_support::LongRecordingIndex;

constexpr std::uint32_t kFrames = 400'000;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The best of a few opens: the first pays for the page cache and the allocator's first growth.
double OpenMs(const std::filesystem::path& path, std::size_t expectFrames,
              benchmark::State& state) {
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        recording::RecordFileReader reader;
        const Clock::time_point start = Clock::now();
        const bool opened = reader.Open(path);
        const double ms = Milliseconds(Clock::now() - start);
        if (!opened || reader.Frames().size() != expectFrames) {
            state.SkipWithError("the reader lost frames");
        }
        best = round == 0 ? ms : std::min(best, ms);
    }
    return best;
}

double ReadMs(const std::filesystem::path& path) {
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        const Clock::time_point start = Clock::now();
        std::vector<char> bytes(std::filesystem::file_size(path));
        std::ifstream(path, std::ios::binary)
            .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
        const double ms = Milliseconds(Clock::now() - start);
        best = round == 0 ? ms : std::min(best, ms);
    }
    return best;
}

void BM_OpenDamaged(benchmark::State& state) {
    const auto damage = static_cast<LongRecordingIndex>(state.range(0));
    const test_support::TempFolder folder;
    const auto whole = LongRecording::Write(folder.Path(), kFrames, LongRecordingIndex::Whole);
    const auto damaged = LongRecording::Write(folder.Path(), kFrames, damage);
    double readMs = 0;
    double wholeMs = 0;
    double damagedMs = 0;
    for (auto _ : state) {
        readMs = ReadMs(damaged);
        wholeMs = OpenMs(whole, kFrames, state);
        damagedMs = OpenMs(damaged, kFrames, state);
    }
    state.counters["frames"] = kFrames;
    state.counters["read_ms"] = readMs;
    state.counters["whole_ms"] = wholeMs;
    state.counters["damaged_ms"] = damagedMs;
    state.counters["damaged_ratio"] = readMs > 0 ? damagedMs / readMs : 0;
}

void BM_PlayerOpens(benchmark::State& state) {
    const auto damage = static_cast<LongRecordingIndex>(state.range(0));
    const test_support::TempFolder folder;
    const auto path = LongRecording::Write(folder.Path(), kFrames, damage);
    double openMs = 0;
    double pauseMs = 0;
    for (auto _ : state) {
        PlayerWindow window;
        window.show();
        const WindowPauseMeter meter;
        const Clock::time_point start = Clock::now();
        window.Open(path);
        while (window.Reading()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        openMs = Milliseconds(Clock::now() - start);
        pauseMs = meter.LongestMs();
        if (window.FrameCount() != kFrames) {
            state.SkipWithError("the player lost frames");
        }
    }
    state.counters["frames"] = kFrames;
    state.counters["open_ms"] = openMs;
    state.counters["pause_ms"] = pauseMs;
}

// Each case once, for both kinds of damage: the figures are of one open, not of a loop.
void EachDamage(benchmark::internal::Benchmark* b) {
    b->ArgName("index")
        ->Arg(static_cast<int>(LongRecordingIndex::Missing))
        ->Arg(static_cast<int>(LongRecordingIndex::Broken))
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

BENCHMARK(BM_OpenDamaged)->Apply(EachDamage);
BENCHMARK(BM_PlayerOpens)->Apply(EachDamage);
