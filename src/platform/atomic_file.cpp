#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace platform {
namespace {

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// Unique within the folder across processes (pid) and threads (counter), so two writers never
// share a temporary file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& file) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = file;
    temp += "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
    return temp;
}

bool SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// flock on the folder: the lock belongs to the open file description, so it excludes other
// threads of this process as well as other processes, and it leaves no lock file behind.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder)
        : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool Held() const { return m_fd >= 0; }

private:
    int m_fd;
};

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

FileSnapshot ReadWholeFile(const std::filesystem::path& file) {
    FileSnapshot snapshot;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        snapshot.state =
            errno == ENOENT ? FileSnapshot::State::Missing : FileSnapshot::State::Unreadable;
        return snapshot;
    }
    snapshot.state = FileSnapshot::State::Read;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            snapshot.state = FileSnapshot::State::Unreadable;
            snapshot.bytes.clear();
            break;
        }
        if (n == 0) {
            break;
        }
        snapshot.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return snapshot;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content) {
    const std::filesystem::path temp = TemporaryNameFor(file);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp, file, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return SyncFolder(FolderOf(file));
}

bool UpdateFileAtomically(
    const std::filesystem::path& file,
    const std::function<std::optional<std::string>(const FileSnapshot&)>& change) {
    const FolderLock lock(FolderOf(file));
    if (!lock.Held()) {
        return false;
    }
    const std::optional<std::string> content = change(ReadWholeFile(file));
    return !content || WriteFileAtomically(file, *content);
}

}  // namespace platform
