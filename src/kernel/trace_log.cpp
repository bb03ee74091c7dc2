#include "kernel/trace_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace {

struct TraceLogState {
    std::mutex mutex;
    int maxLines = 30;
    std::string path;
};

TraceLogState& State() {
    static TraceLogState state;
    return state;
}

}  // namespace

void TraceLogInit(int maxLines, const std::string& folder) {
    TraceLogState& s = State();
    std::lock_guard lock(s.mutex);
    s.maxLines = maxLines;
    s.path = folder + "trace.log";
}

// Counts real lines, however long, and keeps at most the maximum: a line longer than a read
// buffer must not count as several (the file would then never be trimmed again).
void TraceLogWrite(const char* line) {
    TraceLogState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.path.empty()) {
        return;
    }
    const std::size_t keep = s.maxLines > 0 ? static_cast<std::size_t>(s.maxLines - 1) : 0;
    platform::UpdateFileAtomically(
        s.path, [&](const platform::FileSnapshot& current) -> std::optional<std::string> {
            std::vector<std::string_view> lines;
            std::string_view rest = current.bytes;
            while (!rest.empty()) {
                const std::size_t end = rest.find('\n');
                lines.push_back(rest.substr(0, end));
                rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            }
            const std::size_t drop = lines.size() > keep ? lines.size() - keep : 0;
            std::string content;
            for (std::size_t i = drop; i < lines.size(); ++i) {
                content += lines[i];
                content += '\n';
            }
            content += line;
            content += "\r\n";
            return content;
        });
}

void TraceLogClose() {
    TraceLogState& s = State();
    std::lock_guard lock(s.mutex);
    s.path.clear();
}

CTraceFile::~CTraceFile() {
    Close();
}

bool CTraceFile::Recreate() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_dwWriteCount = 0;
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
