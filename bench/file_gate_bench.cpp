// The files beside the program against files no copy of it ever writes, each against the same
// step on a file of its usual size:
//   BM_SettingsLoad/huge       the settings load over a 100 MB Setting.ini (text lines)
//   BM_AddressBookOpen/huge    the address book's read over a 2 GB (sparse) IPRecord.dat, which is
//                              kept aside and put back between runs
//   BM_SettingsSave/planted    a save in a folder holding 37,000 planted entries
// Each reports ratio = its time per step over the usual file's, measured in the same process.
// Run one case at a time under /usr/bin/time -v for its largest resident set.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "kernel/settings_ini.h"
#include "login/ip_record_file.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::map<std::string, double> g_usual;  // seconds per step of each benchmark's usual case

void Report(benchmark::State& state, const std::string& name, double seconds, bool usual) {
    const double perStep = seconds / static_cast<double>(state.iterations());
    if (usual) {
        g_usual[name] = perStep;
    } else if (g_usual.count(name)) {
        state.counters["ratio"] = perStep / g_usual[name];
    }
    state.counters["ms_per_step"] = perStep * 1000;
}

void BM_SettingsLoad(benchmark::State& state) {
    const bool huge = state.range(0) != 0;
    test_support::TempFolder program;
    platform::SetProgramFolder(program.Path());
    {
        std::ofstream file(program.Path() / "Setting.ini", std::ios::binary);
        file << "[Quarnel]\r\nServer Name=10.0.0.5\r\nServerPort=8080\r\n";
        if (huge) {
            const std::string line = "Comment=" + std::string(90, 'x') + "\r\n";
            for (std::size_t size = 0; size < (std::size_t{100} << 20); size += line.size()) {
                file << line;
            }
        }
    }
    test_support::RecordingMessageSink quiet;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        CSettingINI settings;
        settings.Load();
        benchmark::DoNotOptimize(settings.m_wWebPort);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Report(state, "load", seconds, !huge);
}
BENCHMARK(BM_SettingsLoad)->Arg(0)->Arg(1)->ArgNames({"huge"})->Unit(benchmark::kMillisecond);

void BM_AddressBookOpen(benchmark::State& state) {
    const bool huge = state.range(0) != 0;
    test_support::TempFolder program;
    const fs::path book = program.Path() / "IPRecord.dat";
    std::vector<IPRecord> entries(10, IPRecord{"admin", "10.0.0.5", "office", 80});
    WriteIPRecordFile(book, entries);
    if (huge) {
        ::truncate(book.c_str(), off_t{2} << 30);
    }
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const IPRecordFileContents contents = ReadIPRecordFile(book);
        benchmark::DoNotOptimize(contents.records.size());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (contents.keptAside) {
            fs::rename(*contents.keptAside, book);
        }
    }
    Report(state, "book", seconds, !huge);
}
BENCHMARK(BM_AddressBookOpen)->Arg(0)->Arg(1)->ArgNames({"huge"})->Unit(benchmark::kMillisecond);

void BM_SettingsSave(benchmark::State& state) {
    const bool planted = state.range(0) != 0;
    test_support::TempFolder program;
    const fs::path settings = program.Path() / "Setting.ini";
    for (int n = 0; planted && n < 37000; ++n) {
        std::ofstream(program.Path() / ("Setting.ini." + std::to_string(n) + ".tmp"));
    }
    double seconds = 0;
    int value = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(platform::WriteProfileString(settings, "Quarnel", "ServerPort",
                                                              std::to_string(++value)));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["saves_per_s"] = static_cast<double>(state.iterations()) / seconds;
    Report(state, "save", seconds, !planted);
}
BENCHMARK(BM_SettingsSave)->Arg(0)->Arg(1)->ArgNames({"planted"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
