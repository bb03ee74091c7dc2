#include "kernel/trace_log.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "kernel/text_helpers.h"
#include "platform/file_gate.h"
#include "platform/text.h"

namespace {

// A line longer than this is cut: trace.log is a short diagnostic, and one runaway text must not
// make every later rewrite carry megabytes.
constexpr std::size_t kMaxLineLength = 512;
// While another copy of the program rewrites the log, ours wait this long before the next try.
constexpr auto kBusyRetry = std::chrono::milliseconds(20);

// Set on the writer thread while it rewrites the log: what the file gate refuses of the log itself
// is not traced, as that line would only meet the same refusal again.
thread_local bool t_rewriting = false;

// The lines wait here for the writer thread, so the threads that trace (the mailbox, the re-login
// and the stream threads) never wait for the disk, the folder lock or a sync. Only the newest
// lines of the maximum can ever stay in the file, so no more wait than that.
struct TraceLogState {
    std::mutex mutex;
    std::condition_variable wake;     // lines to write, or the writer is to stop
    std::condition_variable written;  // the writer has caught up
    int maxLines = 30;
    std::string path;
    std::deque<std::string> pending;
    bool writing = false;
    bool stop = false;
    std::thread writer;

    ~TraceLogState() { StopWriter(); }

    void StartWriter() {
        if (!writer.joinable()) {
            stop = false;
            writer = std::thread([this] { Run(); });
        }
    }

    // Writes what is pending first.
    void StopWriter() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        wake.notify_all();
        if (writer.joinable()) {
            writer.join();
        }
    }

    void WaitWritten(std::unique_lock<std::mutex>& lock) {
        written.wait(lock, [&] { return pending.empty() && !writing; });
    }

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stop || !pending.empty(); });
            if (pending.empty()) {
                return;
            }
            std::deque<std::string> lines;
            lines.swap(pending);
            const std::string file = path;
            const int max = maxLines;
            writing = true;
            lock.unlock();
            t_rewriting = true;
            const platform::FileStatus status = Append(file, max, lines);
            t_rewriting = false;
            lock.lock();
            writing = false;
            // The writer never waits on the folder's lock, so closing the log never does: lines
            // that another copy of the program kept out go in with the next try, or not at all
            // once the log closes.
            if (status.error == platform::FileError::Locked && !stop) {
                for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
                    pending.push_front(std::move(*line));
                }
                while (pending.size() > static_cast<std::size_t>(std::max(maxLines, 1))) {
                    pending.pop_front();
                }
                wake.wait_for(lock, kBusyRetry, [&] { return stop; });
                continue;
            }
            written.notify_all();
        }
    }

    // Lines arriving while a rewrite runs go in the next one together: one rewrite, with its
    // syncs, per batch rather than per line. Counts real lines, however long, and keeps at most
    // the maximum: a long line must not count as several (the file would then never be trimmed
    // again), and one written before lines were cut is cut now. A log larger than the maximum of
    // such lines was not written by us: it is kept aside and a new one started.
    static platform::FileStatus Append(const std::string& file, int max,
                                       const std::deque<std::string>& lines) {
        const std::size_t limit = max > 0 ? static_cast<std::size_t>(max) : 1;
        return platform::UpdateFileAtomically(
            file, limit * (kMaxLineLength + 2),
            [&](const platform::FileSnapshot& current) -> std::optional<std::string> {
                using State = platform::FileSnapshot::State;
                if (current.state == State::Unreadable ||
                    (current.state == State::TooLarge &&
                     !platform::KeepFileAside(current).status)) {
                    return std::nullopt;
                }
                std::vector<std::string_view> kept;
                std::string_view rest;
                if (current.state == State::Read) {
                    rest = current.bytes;
                }
                while (!rest.empty()) {
                    const platform::TextLine line = platform::FirstLine(rest);
                    kept.push_back(line.text.substr(0, kMaxLineLength));
                    rest.remove_prefix(line.consumed);
                }
                for (const std::string& line : lines) {
                    kept.push_back(line);
                }
                const std::size_t drop = kept.size() > limit ? kept.size() - limit : 0;
                std::string content;
                for (std::size_t i = drop; i < kept.size(); ++i) {
                    content += kept[i];
                    content += "\r\n";
                }
                return content;
            },
            false);
    }
};

TraceLogState& State() {
    static TraceLogState state;
    return state;
}

// One write is one line: a line break inside the text would count as lines of its own.
std::string OneLine(const char* text) {
    return PrintableText(std::string_view(text, ::strnlen(text, kMaxLineLength)));
}

}  // namespace

void TraceLogInit(int maxLines, const std::string& folder) {
    TraceLogState& s = State();
    {
        std::unique_lock lock(s.mutex);
        s.WaitWritten(lock);
        s.maxLines = maxLines;
        s.path = folder + "trace.log";
        s.StartWriter();
    }
    platform::SetFileGateReporter([](const std::string& text) {
        if (!t_rewriting) {
            TraceLogWrite(text.c_str());
        }
    });
}

void TraceLogWrite(const char* line) {
    TraceLogState& s = State();
    {
        std::lock_guard lock(s.mutex);
        if (s.path.empty()) {
            return;
        }
        s.pending.push_back(OneLine(line));
        while (s.pending.size() > static_cast<std::size_t>(std::max(s.maxLines, 1))) {
            s.pending.pop_front();
        }
    }
    s.wake.notify_one();
}

void TraceLogFlush() {
    TraceLogState& s = State();
    std::unique_lock lock(s.mutex);
    s.WaitWritten(lock);
}

void TraceLogClose() {
    platform::SetFileGateReporter(nullptr);
    TraceLogState& s = State();
    s.StopWriter();
    std::lock_guard lock(s.mutex);
    s.path.clear();
    s.pending.clear();
}

CTraceFile::~CTraceFile() {
    Close();
}

bool CTraceFile::Recreate() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_dwWriteCount = 0;
    // A new empty file takes the name's place: whatever the name stood for before is never
    // truncated or written through.
    platform::NewFile file{std::filesystem::path(m_strPath)};
    if (file.Status() && file.Place({}, true)) {
        m_fd = file.ReleaseFd();
    }
    return m_fd >= 0;
}

std::uint32_t CTraceFile::Open(const std::string& folder) {
    std::lock_guard lock(m_mutex);
    m_strPath = folder + "DebugTrace.log";
    return m_fd >= 0 || Recreate() ? 1 : 0;
}

std::uint32_t CTraceFile::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return 1;
}

std::uint32_t CTraceFile::Write(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) {
        return 0;
    }
    if (++m_dwWriteCount >= kRestartAfterWrites && !Recreate()) {
        return 0;
    }
    const std::string line = text + "\r\n";
    return ::write(m_fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 1 : 0;
}

std::uint32_t CTraceFile::Delete() {
    std::lock_guard lock(m_mutex);
    ::unlink(m_strPath.c_str());
    return 1;
}
