#include "recording/output_file.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "recording/record_bytes.h"

namespace recording {
namespace {

// Far more than one second's recordings can ever need.
constexpr int kMaxNameSuffix = 1000;

std::string TwoDigits(int value) {
    const char digits[] = {static_cast<char>('0' + value / 10 % 10),
                           static_cast<char>('0' + value % 10), '\0'};
    return digits;
}

}  // namespace

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Fail(const char* what) {
    m_strError = std::string(what) + ": " + std::strerror(errno);
    return false;
}

bool OutputFile::CreateUnique(const std::filesystem::path& folder, std::string_view stem,
                              std::string_view extension) {
    Close();
    for (int n = 0; n < kMaxNameSuffix; ++n) {
        std::string name(stem);
        if (n > 0) {
            name += "_" + std::to_string(n);
        }
        name += extension;
        const std::filesystem::path path = folder / name;
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            m_strError.clear();
            return true;
        }
        if (errno != EEXIST) {
            return Fail(path.c_str());
        }
    }
    errno = EEXIST;
    return Fail((folder / std::string(stem)).c_str());
}

bool OutputFile::WriteAt(std::uint64_t offset,
                         std::initializer_list<std::span<const std::uint8_t>> parts) {
    std::vector<iovec> vec;
    for (auto part : parts) {
        if (!part.empty()) {
            vec.push_back({const_cast<std::uint8_t*>(part.data()), part.size()});
        }
    }
    std::size_t first = 0;
    while (first < vec.size()) {
        const ssize_t written = ::pwritev(m_fd, &vec[first], static_cast<int>(vec.size() - first),
                                          static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return Fail(m_path.c_str());
        }
        offset += static_cast<std::uint64_t>(written);
        // Skip what went out; a short write continues inside the part it stopped in.
        auto done = static_cast<std::size_t>(written);
        while (first < vec.size() && done >= vec[first].iov_len) {
            done -= vec[first].iov_len;
            ++first;
        }
        if (first < vec.size()) {
            vec[first].iov_base = static_cast<std::uint8_t*>(vec[first].iov_base) + done;
            vec[first].iov_len -= done;
        }
    }
    return true;
}

bool OutputFile::Truncate(std::uint64_t size) {
    return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0 || Fail(m_path.c_str());
}

bool OutputFile::Close() {
    if (m_fd < 0) {
        return true;
    }
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 || Fail(m_path.c_str());
}

bool OutputFile::Remove() {
    if (m_fd < 0) {
        return true;
    }
    // What was written no longer matters: only the failure that ended it does (Error()).
    const std::string error = m_strError;
    Close();
    m_strError = error;
    return ::unlink(m_path.c_str()) == 0 || Fail(m_path.c_str());
}

std::string RecordFileStem(std::string_view prefix, std::int64_t t, std::string_view suffix) {
    const SystemTime st = LocalSystemTime(static_cast<std::time_t>(t));
    std::string stem(prefix);
    stem += TwoDigits(st.wYear % 100) + TwoDigits(st.wMonth) + TwoDigits(st.wDay) + "T" +
            TwoDigits(st.wHour) + TwoDigits(st.wMinute) + TwoDigits(st.wSecond);
    stem += suffix;
    return stem;
}

std::string FileNameSafe(std::string_view text, std::size_t maxChars) {
    std::string safe(text.substr(0, maxChars));
    for (char& c : safe) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!allowed) {
            c = '_';
        }
    }
    return safe;
}

}  // namespace recording
