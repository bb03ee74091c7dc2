// The soak: the real main window, its live session threads and recorders against the device
// emulator, which misbehaves in turn in every way we know of. After each fault the device is
// well again, and the session must come back by itself and leave nothing behind: frames reach
// the window again, resident memory, threads and descriptors return to where they were, no
// message box is raised that the fault does not call for, and every record file reads back.
//
//   soak [--minutes M | --passes N] [--clock-speed F] [--rss-tolerance-mb T]
//
// One pass goes through every fault once. Prints a line per fault and a summary; exits 1 when a
// check failed.

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/live_session_components.h"
#include "app/process_threads.h"
#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "protocol/login.h"
#include "recording/record_file.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/session_release.h"
#include "test_support/temp_folder.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

// g++ says it builds with AddressSanitizer through a macro, clang through a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(SOAK_ADDRESS_SANITIZER)
// Freed memory waits in the sanitizer's quarantine (256 MB by default) before it is reused, which
// would read as growth; a small quarantine keeps resident memory a measure of the program.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:thread_local_quarantine_size_kb=256";
}
#endif

namespace {

using namespace std::chrono_literals;
using device_emulator::Settings;
using test_support::PumpUntil;

constexpr int kQuality = 1008;  // the quality button: one device command
constexpr int kRecord = 1005;   // the manual recording button

// Generous waits: a loaded machine under a sanitizer must not fail them. A refused stream backs
// off for 20 s of session time before the next login.
constexpr int kRecoveryMs = 180'000;
constexpr int kSettleMs = 60'000;

struct Options {
    double minutes = 0;
    int passes = 1;
    double clockSpeed = 1.0;
    double rssToleranceMb = 48;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (name == "--minutes") {
            options.minutes = value;
            options.passes = 0;
        } else if (name == "--passes") {
            options.passes = static_cast<int>(value);
        } else if (name == "--clock-speed") {
            options.clockSpeed = value;
        } else if (name == "--rss-tolerance-mb") {
            options.rssToleranceMb = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && options.clockSpeed > 0 && (options.minutes > 0 || options.passes > 0);
}

// What the process holds, as the kernel counts it.
struct Usage {
    double rssMb = 0;
    long threads = 0;
    long fds = 0;
};

Usage CurrentUsage() {
    Usage usage;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            usage.rssMb = std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++usage.fds;
    }
    --usage.fds;  // the directory listing's own descriptor
    // Qt's global thread pool (smooth scaling of the picture) keeps idle workers for 30 s and
    // starts them as it likes; they are Qt's, not the session's, and so is the wake-up descriptor
    // each of them holds. Counted in, a worker's expiry would hide a descriptor we leak.
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name == "Thread (pooled)") {
            --usage.fds;
        } else {
            ++usage.threads;
        }
    }
    return usage;
}

class Soak {
public:
    explicit Soak(const Options& options) : m_options(options) {
        platform::SetProgramFolder(TORVEL_SKIN_DIR);
        m_device.Start();
        m_wellBehaved = m_device.Snapshot();
    }

    ~Soak() {
        if (m_window) {
            m_window->DestroyWindow();
            m_window.reset();
        }
        if (g_lpApp) {
            test_support::ReleaseSession(m_components);
        }
        platform::JoinAllThreads();
        platform::SetClockSpeed(1.0);
        m_device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
        platform::SetProgramFolder({});
    }

    int Run();

private:
    // A fault: `apply` makes the device misbehave; `took` holds once the client has met it
    // (checked until kRecoveryMs); `boxes` is how many message boxes it rightly raises.
    struct Fault {
        const char* name;
        std::function<void(Settings&, int pass)> apply;
        std::function<bool(Soak&)> took;
        int boxes = 0;
    };
    static const std::vector<Fault>& Faults();

    bool Open();
    bool Check(bool ok, const std::string& what);
    bool RunFault(const Fault& fault, int pass);
    bool StalledCommand();
    bool NewStreamRequested() const {
        return PumpUntil([this] { return !m_device.Requests("/Getvideo.cgi").empty(); },
                         kRecoveryMs);
    }
    bool FramesShown(int frames, int timeoutMs);
    bool Dwell(int frames) { return FramesShown(frames, kRecoveryMs); }
    bool BackToBaseline();
    bool VerifyRecordFiles();
    bool Elapsed() const;
    void SetRecording(bool on);

    Options m_options;
    test_support::TempFolder m_program;
    test_support::TempFolder m_records;
    test_support::TempFolder m_snapshots;
    test_support::RecordingMessageSink m_messages;
    device_emulator::DeviceEmulator m_device;
    Settings m_wellBehaved;
    LiveSessionComponents m_components;
    std::unique_ptr<CTorvelDlg> m_window;

    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    Usage m_baseline;
    Usage m_worst;
    int m_faults = 0;
    int m_recoveries = 0;
    int m_failures = 0;
    int m_recordFiles = 0;
    std::set<std::filesystem::path> m_verified;
    std::chrono::milliseconds m_longestPause{0};
};

const std::vector<Soak::Fault>& Soak::Faults() {
    using device_emulator::FrameCorruption;
    using device_emulator::StreamEnd;
    // Ending the stream that runs (frame_limit 1 ends it at its next frame) makes the client
    // log in again and meet the fault on the new stream request.
    static const std::vector<Fault> faults = {
        {"command stalls while streaming",
         [](Settings& s, int) { s.faults["/Setquality.cgi"] = {.reply_delay = 2s}; },
         [](Soak& soak) { return soak.StalledCommand(); }},
        {"stream drops mid-frame",
         [](Settings& s, int) {
             s.stream.frame_limit = 1;
             s.stream.end = StreamEnd::CloseMidFrame;
         },
         [](Soak& soak) { return soak.NewStreamRequested(); }},
        {"stream refused",
         [](Settings& s, int pass) {
             constexpr int kStatuses[] = {401, 404, 202};
             s.stream.frame_limit = 1;
             s.stream.refuse_status = kStatuses[pass % 3];
         },
         [](Soak& soak) { return soak.NewStreamRequested(); }},
        {"status line on the stream",
         [](Settings& s, int) {
             s.stream.frame_limit = 1;
             s.faults["/Getvideo.cgi"] = {.status = 401, .body = std::string("Unauthorized")};
         },
         [](Soak& soak) { return soak.NewStreamRequested(); }},
        {"largest frames",
         [](Settings& s, int) {
             s.stream.picture = device_emulator::PictureSize{704, 576};
             s.stream.jpeg_quality = 85;  // the device's highest quality
             s.stream.grain = 255;
         },
         [](Soak& soak) { return soak.Dwell(25); }},
        {"frames over the socket buffer",
         [](Settings& s, int) { s.stream.payload_length = 600'000; },
         [](Soak&) {
             PumpUntil([] { return false; }, 2'000);
             return true;
         }},
        {"a lying length",
         [](Settings& s, int pass) {
             constexpr std::uint32_t kLengths[] = {0, 100, 0x100000, 0x7fffffff, 0xffffffff};
             s.stream.false_length = kLengths[pass % std::size(kLengths)];
         },
         [](Soak& soak) { return soak.NewStreamRequested(); }},
        {"alarm without a sound",
         [](Settings& s, int) {
             s.stream.alarm_on_frames = 1'000'000;
             s.stream.alarm_off_frames = 1;
         },
         [](Soak& soak) { return soak.Dwell(50); }, 1},
        {"corrupt frames",
         [](Settings& s, int pass) {
             constexpr FrameCorruption kKinds[] = {
                 FrameCorruption::Truncated, FrameCorruption::Garbage, FrameCorruption::BadMarker,
                 FrameCorruption::Padded};
             s.stream.corruption = kKinds[pass % 4];
             s.stream.damage_length = pass % 4 == 0 ? 5 : 0;
             s.stream.corrupt_every = 2;
         },
         [](Soak& soak) { return soak.Dwell(25); }},
    };
    return faults;
}

bool Soak::Open() {
    if (InitKernelObject() != 1) {
        return false;
    }
    ::CSettingINI& settings = g_lpApp->CSettingINI;
    settings.m_strProgramPath = m_program.Path().string() + "/";
    settings.m_strRecordPath = m_records.Path().string();
    settings.m_strSnapshotPath = m_snapshots.Path().string();
    settings.m_strServerName = "127.0.0.1";
    settings.m_strUserName = "admin";
    settings.m_strPassword = "admin";
    // No alarm sound loads: neither this one nor one beside the program.
    settings.m_strTriggerWavPath = (m_program.Path() / "missing.wav").string();
    SetDeviceAddress("127.0.0.1", m_device.Port());
    if (SendLoginRequest("admin", "admin") != LoginOutcome::LoggedIn) {
        return false;
    }
    g_lpApp->m_fConnected = 1;
    if (AllocateSystemBuffer(m_components) != 1 || InitialSemaphore(m_components) != 1 ||
        InitProcessResource(m_components) != 1 || InitLoginResource(m_components) != 1) {
        return false;
    }
    m_window = std::make_unique<CTorvelDlg>(
        MainWindowServices{m_components.Pipeline(), m_components.Recorders(),
                           [this] { return ExitLoginResource(m_components) != 0; },
                           [] { return ExitProcessResource() != 0; }});
    if (!m_window->OnInitDialog()) {
        return false;
    }
    m_window->show();
    return PumpUntil([this] { return !m_window->IsWaitingForDevice(); }) &&
           m_window->StartupState() == CTorvelDlg::Startup::Started;
}

bool Soak::Check(bool ok, const std::string& what) {
    if (!ok) {
        ++m_failures;
        std::printf("  FAILED: %s\n", what.c_str());
    }
    return ok;
}

// Waits until the painter has shown `frames` more frames (its count restarts with a stream).
bool Soak::FramesShown(int frames, int timeoutMs) {
    std::uint32_t last = g_lpApp->m_dwFramesShown;
    int seen = 0;
    return PumpUntil(
        [&] {
            const std::uint32_t now = g_lpApp->m_dwFramesShown;
            seen += now != last;
            last = now;
            return seen >= frames;
        },
        timeoutMs);
}

// A quality change that the device answers late. The window thread must keep running meanwhile:
// a timer ticks every 10 ms, and its largest gap is the longest pause of the window thread.
bool Soak::StalledCommand() {
    if (!Check(!m_window->IsWaitingForDevice(), "no command runs before the stalled one")) {
        return false;
    }
    std::chrono::steady_clock::duration longest{};
    auto last = std::chrono::steady_clock::now();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last);
        last = now;
    });
    timer.start(10);
    last = std::chrono::steady_clock::now();
    const std::uint32_t shownBefore = g_lpApp->m_dwFramesShown;
    m_window->OnCommand(kQuality);
    const bool waited = m_window->IsWaitingForDevice();
    const bool done = PumpUntil([&] { return !m_window->IsWaitingForDevice(); }, kRecoveryMs);
    timer.stop();
    const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    m_longestPause = std::max(m_longestPause, pause);
    std::printf("  window thread's longest pause while the command waited: %lld ms\n",
                static_cast<long long>(pause.count()));
    return Check(waited, "the command waits for the device off the window thread") &&
           Check(done, "the stalled command ends") &&
           Check(g_lpApp->m_dwFramesShown != shownBefore, "live frames painted during the stall");
}

// Threads and descriptors come back exactly, once the torn-down connections have ended;
// resident memory within the tolerance.
bool Soak::BackToBaseline() {
    Usage now;
    const auto back = [&] {
        now = CurrentUsage();
        return now.threads <= m_baseline.threads && now.fds <= m_baseline.fds &&
               now.rssMb <= m_baseline.rssMb + m_options.rssToleranceMb;
    };
    const Usage first = CurrentUsage();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = PumpUntil(back, kSettleMs);
    if (first.threads > m_baseline.threads || first.fds > m_baseline.fds) {
        std::printf(
            "  at recovery: threads %ld, fds %ld; back after %.1f s\n", first.threads, first.fds,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    m_worst.rssMb = std::max(m_worst.rssMb, now.rssMb);
    m_worst.threads = std::max(m_worst.threads, now.threads);
    m_worst.fds = std::max(m_worst.fds, now.fds);
    std::printf("  rss %.1f MB, threads %ld, fds %ld\n", now.rssMb, now.threads, now.fds);
    return Check(ok, "resident memory, threads and descriptors back at the baseline");
}

// Every record file that is complete reads back: a header, an index that agrees with the
// records, and frames that are JPEGs. A verified file is removed, so a long run does not fill
// the disk. `all`: the recordings have ended, so every file must be complete.
bool Soak::VerifyRecordFiles() {
    bool ok = true;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_records.Path())) {
        if (!entry.is_regular_file() || m_verified.contains(entry.path())) {
            continue;
        }
        recording::RecordFileReader reader;
        const bool opened = reader.Open(entry.path());
        bool good = opened && reader.Indexed() && !reader.Frames().empty();
        if (good) {
            const auto first = reader.ReadFrame(0);
            const auto last = reader.ReadFrame(reader.Frames().size() - 1);
            good = first.size() >= 2 && first[0] == 0xFF && first[1] == 0xD8 && last.size() >= 2;
        }
        ok &= Check(good, "record file " + entry.path().filename().string() + " reads back (" +
                              (opened ? reader.Error() : "does not open: " + reader.Error()) + ")");
        m_verified.insert(entry.path());
        ++m_recordFiles;
        std::error_code ec;
        std::filesystem::remove(entry.path(), ec);
    }
    return ok;
}

bool Soak::RunFault(const Fault& fault, int pass) {
    ++m_faults;
    std::printf("pass %d: %s\n", pass + 1, fault.name);
    m_device.ClearRequests();
    const std::size_t boxesBefore = m_messages.Texts().size();
    m_device.Update([&](Settings& s) { fault.apply(s, pass); });
    const bool took = fault.took(*this);
    Check(took, "the client met the fault");
    // Give the device's answer time to go out before the device is well again.
    PumpUntil([] { return false; }, 500);
    m_device.Update([&](Settings& s) {
        s.stream = m_wellBehaved.stream;
        s.faults.clear();
    });
    const auto start = std::chrono::steady_clock::now();
    const bool recovered = FramesShown(10, kRecoveryMs);
    if (Check(recovered, "frames flow to the window again")) {
        ++m_recoveries;
        std::printf(
            "  recovered in %.1f s\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const auto texts = m_messages.Texts();
    const int boxes = static_cast<int>(texts.size() - boxesBefore);
    std::string raised;
    for (std::size_t i = boxesBefore; i < texts.size(); ++i) {
        raised += " \"" + texts[i] + "\"";
    }
    Check(boxes == fault.boxes, "message boxes: " + std::to_string(boxes) + ", expected " +
                                    std::to_string(fault.boxes) + raised);
    BackToBaseline();
    return recovered;
}

void Soak::SetRecording(bool on) {
    if ((m_window->GetDlgItem(kRecord)->GetImageIndex() == 1) != on) {
        m_window->OnCommand(kRecord);
    }
}

bool Soak::Elapsed() const {
    return std::chrono::steady_clock::now() - m_start >=
           std::chrono::duration<double, std::ratio<60>>(m_options.minutes);
}

int Soak::Run() {
    platform::SetClockSpeed(m_options.clockSpeed);
    if (!Check(Open(), "the session opens") || !Check(FramesShown(25, kRecoveryMs), "frames")) {
        return 1;
    }
    // The baseline is taken once the session runs, its buffers are allocated, a device command
    // has run (its runner thread stays) and a recording has been made once, so that what the
    // first use allocates for good is in it.
    m_window->OnCommand(kQuality);
    PumpUntil([&] { return !m_window->IsWaitingForDevice(); }, kRecoveryMs);
    SetRecording(true);
    FramesShown(25, kRecoveryMs);
    SetRecording(false);
    VerifyRecordFiles();
    // The passes record throughout, so the baseline holds a recording as well.
    SetRecording(true);
    FramesShown(25, kRecoveryMs);
    m_baseline = CurrentUsage();
    m_worst = m_baseline;
    std::printf("baseline: rss %.1f MB, threads %ld, fds %ld\n", m_baseline.rssMb,
                m_baseline.threads, m_baseline.fds);

    int pass = 0;
    for (; m_options.passes > 0 ? pass < m_options.passes : !Elapsed(); ++pass) {
        // Each pass records by hand throughout, across every re-login.
        SetRecording(true);
        for (const Fault& fault : Faults()) {
            if (!RunFault(fault, pass)) {
                break;  // a session that did not come back makes every later check meaningless
            }
        }
        SetRecording(false);
        PumpUntil([] { return false; }, 500);
        VerifyRecordFiles();
        if (m_recoveries < m_faults) {
            break;
        }
    }
    const Usage end = CurrentUsage();
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    std::printf("\nsummary\n");
    std::printf("  run: %.1f min, clock speed %.1f, %d passes\n",
                std::chrono::duration<double, std::ratio<60>>(elapsed).count(),
                m_options.clockSpeed, pass);
    std::printf("  faults: %d, recoveries: %d, failed checks: %d\n", m_faults, m_recoveries,
                m_failures);
    std::printf("  record files read back: %d\n", m_recordFiles);
    std::printf("  rss MB: start %.1f, end %.1f, highest after a fault %.1f (tolerance %.0f)\n",
                m_baseline.rssMb, end.rssMb, m_worst.rssMb, m_options.rssToleranceMb);
    std::printf("  threads: start %ld, end %ld, highest after a fault %ld\n", m_baseline.threads,
                end.threads, m_worst.threads);
    std::printf("  fds: start %ld, end %ld, highest after a fault %ld\n", m_baseline.fds, end.fds,
                m_worst.fds);
    std::printf("  window thread's longest pause during a stalled command: %lld ms (goal: < 100)\n",
                static_cast<long long>(m_longestPause.count()));
    return m_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--minutes M | --passes N] [--clock-speed F] "
                     "[--rss-tolerance-mb T]\n",
                     argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A line at a time, so that a long run's log shows where it is.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    int result = 1;
    {
        Soak soak(options);
        result = soak.Run();
    }
    return result;
}
