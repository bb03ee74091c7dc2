// Opening a record file of very many small frames whose index is broken or missing, against the
// same file with its index whole (which the reader takes without walking the records). Reported
// for each damage:
//   frames           frames in the file
//   whole_ms         opening the intact file
//   damaged_ms       opening the damaged one
//   damaged_ratio    damaged_ms / whole_ms
//   growth_ratio     damaged_ms / the damaged open of a file a quarter as long (4 when the cost
//                    grows with the file, 16 when it grows with its square)
// The player's own open of the damaged file, off its window's thread, is BM_PlayerOpens:
//   open_ms          from the open to the first frame on the screen
//   pause_ms         the longest gap of the window's thread meanwhile
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>

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

void BM_OpenDamaged(benchmark::State& state) {
    const auto damage = static_cast<LongRecordingIndex>(state.range(0));
    const test_support::TempFolder folder;
    const auto whole = LongRecording::Write(folder.Path(), kFrames, LongRecordingIndex::Whole);
    const auto damaged = LongRecording::Write(folder.Path(), kFrames, damage);
    const test_support::TempFolder quarterFolder;
    const auto quarter = LongRecording::Write(quarterFolder.Path(), kFrames / 4, damage);
    double wholeMs = 0;
    double damagedMs = 0;
    double quarterMs = 0;
    for (auto _ : state) {
        wholeMs = OpenMs(whole, kFrames, state);
        damagedMs = OpenMs(damaged, kFrames, state);
        quarterMs = OpenMs(quarter, kFrames / 4, state);
    }
    state.counters["frames"] = kFrames;
    state.counters["whole_ms"] = wholeMs;
    state.counters["damaged_ms"] = damagedMs;
    state.counters["damaged_ratio"] = wholeMs > 0 ? damagedMs / wholeMs : 0;
    state.counters["growth_ratio"] = quarterMs > 0 ? damagedMs / quarterMs : 0;
}

}  // namespace

BENCHMARK(BM_OpenDamaged)
    ->ArgName("index")
    ->Arg(static_cast<int>(LongRecordingIndex::Missing))
    ->Arg(static_cast<int>(LongRecordingIndex::Broken))
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
