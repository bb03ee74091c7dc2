#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <string>

#include "platform/paths.h"

namespace platform {
namespace {

// Unique within the folder across processes (pid) and threads (counter), so two writers never
// share a temporary file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& file) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = file;
    temp += "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
    return temp;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A temporary file of `name` (as TemporaryNameFor makes them) whose writer no longer runs. Our own
// are never stale, and a writer of another user, which we may not signal, still runs.
bool IsStaleTemporaryOf(std::string_view entry, std::string_view name) {
    constexpr std::string_view kSuffix = ".tmp";
    if (entry.size() <= name.size() + 1 + kSuffix.size() || !entry.starts_with(name) ||
        entry[name.size()] != '.' || !entry.ends_with(kSuffix)) {
        return false;
    }
    const std::string_view middle =
        entry.substr(name.size() + 1, entry.size() - name.size() - 1 - kSuffix.size());
    const std::size_t dot = middle.find('.');
    if (dot == std::string_view::npos || !AllDigits(middle.substr(0, dot)) ||
        !AllDigits(middle.substr(dot + 1))) {
        return false;
    }
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(middle.data(), middle.data() + dot, pid);
    if (error != std::errc() || pid <= 0 || pid == ::getpid()) {
        return false;
    }
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A writer killed between creating its temporary file and renaming it leaves the file behind;
// every writer takes the folder lock, so under it no live one is half way through.
void RemoveStaleTemporaries(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(FolderOf(file), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (IsStaleTemporaryOf(it->path().filename().string(), name)) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

// A link is followed only when its owner is the user or the owner of its folder, as the kernel's
// own guard for shared folders does: a link someone else planted beside our files must not aim a
// save at a file of the user's elsewhere.
bool TrustedLink(const std::filesystem::path& link) {
    struct stat own {};
    struct stat folder {};
    return ::lstat(link.c_str(), &own) == 0 && ::stat(FolderOf(link).c_str(), &folder) == 0 &&
           (own.st_uid == ::geteuid() || own.st_uid == folder.st_uid);
}

// The file a name stands for, with symbolic links followed (a relative target is taken from the
// link's folder), so that a write replaces the target and the link stays. Nullopt for a loop or a
// link we do not trust.
std::optional<std::filesystem::path> ResolveLinks(std::filesystem::path file) {
    constexpr int kMaxLinks = 40;
    for (int link = 0; link < kMaxLinks; ++link) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec))) {
            return file;
        }
        if (!TrustedLink(file)) {
            return std::nullopt;
        }
        const std::filesystem::path target = std::filesystem::read_symlink(file, ec);
        if (ec) {
            return std::nullopt;
        }
        file = target.is_absolute() ? target : FolderOf(file) / target;
    }
    return std::nullopt;
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
    snapshot.path = file;
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
    const std::optional<std::filesystem::path> target = ResolveLinks(file);
    if (!target) {
        return false;
    }
    const std::filesystem::path temp = TemporaryNameFor(*target);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // A file the user made private stays private. A file system without permissions refuses the
    // change; what the file holds matters more than its mode.
    struct stat replaced {};
    if (::stat(target->c_str(), &replaced) == 0) {
        static_cast<void>(::fchmod(fd, replaced.st_mode & 07777));
    }
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp, *target, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return SyncFolder(FolderOf(*target));
}

bool UpdateFileAtomically(
    const std::filesystem::path& file,
    const std::function<std::optional<std::string>(const FileSnapshot&)>& change) {
    const std::optional<std::filesystem::path> target = ResolveLinks(file);
    if (!target) {
        return false;
    }
    const FolderLock lock(FolderOf(*target));
    if (!lock.Held()) {
        return false;
    }
    RemoveStaleTemporaries(*target);
    const std::optional<std::string> content = change(ReadWholeFile(*target));
    return !content || WriteFileAtomically(*target, *content);
}

}  // namespace platform
