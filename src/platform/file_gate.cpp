#include "platform/file_gate.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;
// Enough draws that only a folder we may not write to, never a planted name, ends the search.
constexpr int kTemporaryDraws = 16;
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kRandomDigits = 16;
// A folder holding more entries than this is not searched further for stale temporaries: a
// folder flooded with names must not make the program slow.
constexpr int kMaxScannedEntries = 1 << 16;
// What is read of a file over its bound.
constexpr std::size_t kTooLargeHead = 4096;

FileStatus Ok() {
    return {};
}

FileStatus Refused(FileError error) {
    return {error, 0};
}

FileStatus SystemError(int code = errno) {
    return {FileError::System, code};
}

struct Reporter {
    std::mutex mutex;
    std::function<void(const std::string&)> report;
};

// Never destroyed, as a thread still running at exit may report.
Reporter& TheReporter() {
    static Reporter* const reporter = new Reporter;
    return *reporter;
}

void Report(const fs::path& file, const FileStatus& status, const std::string& done = {}) {
    if ((status && done.empty()) || status.error == FileError::Missing) {
        return;
    }
    std::function<void(const std::string&)> reporter;
    {
        std::lock_guard lock(TheReporter().mutex);
        reporter = TheReporter().report;
    }
    if (reporter) {
        reporter(file.string() + " " + (status ? done : status.Describe()));
    }
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }
    void Reset() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

Fd OpenFolderAt(int at, const fs::path& folder) {
    return Fd(
        ::openat(at, folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The folder of `file` and its name there.
std::pair<Fd, std::string> Split(const fs::path& file) {
    return {OpenFolderAt(AT_FDCWD, file.parent_path()), file.filename().string()};
}

// Only the folder's owner (and root) can make entries in a folder without group or world write
// permission, so a link there is as trusted as the folder; where others can write, a link counts
// only when the user or the folder's owner made it.
bool LinkTrusted(uid_t linkOwner, const struct stat& folder) {
    if ((folder.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        return true;
    }
    return linkOwner == ::geteuid() || linkOwner == folder.st_uid;
}

// The name a path stands for after the links the rule lets us follow: its folder (open) and its
// name there, which is not a link (or is missing).
struct Resolved {
    Fd start;  // the folder of the name as given
    Fd folder;
    std::string name;
    fs::path path;  // for messages: the target as the links spell it
    FileStatus status;
};

Resolved Resolve(int startFolder, std::string name, fs::path path) {
    Resolved r;
    r.start = OpenFolderAt(startFolder, ".");
    r.folder = OpenFolderAt(startFolder, ".");
    if (r.start.Get() < 0 || r.folder.Get() < 0) {
        r.status = SystemError();
        return r;
    }
    for (int link = 0; link <= kMaxLinks; ++link) {
        r.name = name;
        r.path = path;
        struct stat there {};
        if (::fstatat(r.folder.Get(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
            r.status = errno == ENOENT ? Ok() : SystemError();
            return r;
        }
        if (!S_ISLNK(there.st_mode)) {
            return r;
        }
        struct stat folder {};
        if (::fstat(r.folder.Get(), &folder) != 0) {
            r.status = SystemError();
            return r;
        }
        if (!LinkTrusted(there.st_uid, folder)) {
            r.status = Refused(FileError::UntrustedLink);
            return r;
        }
        std::vector<char> target(static_cast<std::size_t>(std::max<off_t>(there.st_size, 255)) + 2);
        const ssize_t length =
            ::readlinkat(r.folder.Get(), name.c_str(), target.data(), target.size() - 1);
        if (length < 0) {
            r.status = SystemError();
            return r;
        }
        const fs::path next(std::string(target.data(), static_cast<std::size_t>(length)));
        if (next.filename().empty()) {
            r.status = Refused(FileError::NotRegular);
            return r;
        }
        Fd nextFolder = OpenFolderAt(r.folder.Get(), next.parent_path());
        if (nextFolder.Get() < 0) {
            r.status = SystemError();
            return r;
        }
        r.folder = std::move(nextFolder);
        name = next.filename().string();
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    r.status = Refused(FileError::LinkLoop);
    return r;
}

Resolved Resolve(const fs::path& file) {
    auto [folder, name] = Split(file);
    if (folder.Get() < 0) {
        Resolved r;
        r.status = SystemError();
        r.path = file;
        return r;
    }
    return Resolve(folder.Get(), name, file);
}

// A read-only mark is the user's word that the file stays as it is.
bool MayReplace(int folder, const std::string& name, const struct stat& file) {
    if (file.st_uid == ::geteuid()) {
        return (file.st_mode & S_IWUSR) != 0;
    }
    return ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) == 0;
}

// What may stand at a name the gate replaces: nothing, or a regular file the user may write.
FileStatus CheckReplaceable(int folder, const std::string& name, struct stat* found = nullptr) {
    struct stat there {};
    if (::fstatat(folder, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? Ok() : SystemError();
    }
    if (!S_ISREG(there.st_mode)) {
        return Refused(FileError::NotRegular);
    }
    if (!MayReplace(folder, name, there)) {
        return Refused(FileError::ReadOnly);
    }
    if (found) {
        *found = there;
    }
    return Ok();
}

bool SyncFolder(int folder) {
    return ::fsync(folder) == 0;
}

bool RandomDigits(std::string& digits) {
    std::uint64_t word = 0;
    for (;;) {
        const ssize_t n = ::getrandom(&word, sizeof word, 0);
        if (n == static_cast<ssize_t>(sizeof word)) {
            break;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    char text[kRandomDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(word));
    digits = text;
    return true;
}

// "<name>.<16 random hex digits><suffix>", made exclusively: a file or link planted under any
// name is never opened, followed or truncated, at worst it costs another draw.
std::pair<Fd, std::string> CreateUnique(int folder, std::string_view name, std::string_view suffix,
                                        mode_t mode) {
    for (int draw = 0; draw < kTemporaryDraws; ++draw) {
        std::string digits;
        if (!RandomDigits(digits)) {
            return {};
        }
        std::string temp(name);
        temp += '.';
        temp += digits;
        temp += suffix;
        // O_EXCL with O_CREAT never follows a link, not even a dangling one.
        Fd fd(::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       mode));
        if (fd.Get() >= 0) {
            return {std::move(fd), std::move(temp)};
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

// A temporary file as CreateUnique names them: "<something>.<16 hex digits>.tmp".
bool LooksTemporary(std::string_view entry) {
    if (!entry.ends_with(kTemporarySuffix)) {
        return false;
    }
    entry.remove_suffix(kTemporarySuffix.size());
    if (entry.size() < kRandomDigits + 2 || entry[entry.size() - kRandomDigits - 1] != '.') {
        return false;
    }
    const std::string_view digits = entry.substr(entry.size() - kRandomDigits);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Every temporary file is made and renamed under its folder's lock, so one of the user's that is
// there while the lock is held was left by a copy of the program that died while it wrote. Those
// of other users are theirs to clean. Once per folder and run: the scan is bounded, and one done
// at the first save finds everything an earlier run left.
void RemoveStaleTemporaries(int folder) {
    Fd copy(::dup(folder));
    DIR* dir = copy.Get() >= 0 ? ::fdopendir(copy.Get()) : nullptr;
    if (!dir) {
        return;
    }
    copy.Release();
    ::rewinddir(dir);
    std::vector<std::string> stale;
    int scanned = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (++scanned > kMaxScannedEntries) {
            break;
        }
        if (!LooksTemporary(entry->d_name)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) {
            stale.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : stale) {
        ::unlinkat(folder, name.c_str(), 0);
    }
}

// When the folder was made, where the file system knows it: an inode number comes back for a new
// folder once the old one is gone.
std::string BirthOf(int folder) {
    struct statx info {};
    if (::statx(folder, "", AT_EMPTY_PATH, STATX_BTIME, &info) != 0 ||
        !(info.stx_mask & STATX_BTIME)) {
        return {};
    }
    return std::to_string(info.stx_btime.tv_sec) + "." + std::to_string(info.stx_btime.tv_nsec);
}

// A folder only the user can reach: no other user can open, let alone lock, a file in it.
std::optional<fs::path> PrivateFolder(const fs::path& parent, const std::string& name) {
    if (parent.empty() || !parent.is_absolute()) {
        return std::nullopt;
    }
    const fs::path folder = parent / name;
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        return std::nullopt;
    }
    return folder;
}

std::optional<fs::path> LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        if (auto folder = PrivateFolder(runtime, "torvel-locks")) {
            return folder;
        }
    }
    const char* home = std::getenv("HOME");
    if (home && *home) {
        ::mkdir((fs::path(home) / ".cache").c_str(), 0700);
        if (auto folder = PrivateFolder(fs::path(home) / ".cache", "torvel-locks")) {
            return folder;
        }
    }
    std::error_code ec;
    return PrivateFolder(fs::temp_directory_path(ec),
                         "torvel-locks-" + std::to_string(::geteuid()));
}

struct HeldLocks {
    std::mutex mutex;
    std::set<std::string> cleaned;  // folders whose stale temporaries are gone
};

// Never destroyed, as a writer thread still running at exit (trace.log's) may take a lock.
HeldLocks& Locks() {
    static HeldLocks* const locks = new HeldLocks;
    return *locks;
}

// The folders this thread holds the lock of: an update holds it while it reads, writes and
// places, and the steps take it again without waiting for themselves.
thread_local std::vector<std::string> t_held;

}  // namespace

// The lock of one folder, named after the folder's device and inode in the user's private lock
// folder. flock belongs to the open file description, so it excludes the other threads of this
// process as well as other copies of the program. The lock file is removed while held; a waiter
// that locked a removed one tries again.
class FolderLock {
public:
    FolderLock(int folder, bool wait) {
        struct stat info {};
        if (::fstat(folder, &info) != 0) {
            m_status = SystemError();
            return;
        }
        m_key = std::to_string(info.st_dev) + "-" + std::to_string(info.st_ino);
        if (std::find(t_held.begin(), t_held.end(), m_key) != t_held.end()) {
            return;
        }
        const std::optional<fs::path> locks = LockFolder();
        if (!locks) {
            m_status = SystemError(EACCES);
            return;
        }
        m_path = *locks / (m_key + ".lock");
        m_status = Acquire(wait);
        if (!m_status) {
            return;
        }
        t_held.push_back(m_key);
        m_owner = true;
        bool first = false;
        {
            std::lock_guard lock(Locks().mutex);
            first = Locks().cleaned.insert(m_key + "-" + BirthOf(folder)).second;
        }
        if (first) {
            RemoveStaleTemporaries(folder);
        }
    }
    ~FolderLock() {
        if (!m_owner) {
            return;
        }
        t_held.erase(std::find(t_held.begin(), t_held.end(), m_key));
        ::unlink(m_path.c_str());
        m_fd.Reset();
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    const FileStatus& Status() const { return m_status; }

private:
    FileStatus Acquire(bool wait) {
        using Clock = std::chrono::steady_clock;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(wait ? kFolderLockWaitMs : 0);
        auto pause = std::chrono::milliseconds(1);
        for (;;) {
            Fd fd(::open(m_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (fd.Get() < 0) {
                return SystemError();
            }
            if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
                struct stat held {};
                struct stat named {};
                if (::fstat(fd.Get(), &held) == 0 && ::stat(m_path.c_str(), &named) == 0 &&
                    held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
                    m_fd = std::move(fd);
                    return Ok();
                }
                continue;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                return SystemError();
            }
            if (Clock::now() >= deadline) {
                return Refused(FileError::Locked);
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }

    FileStatus m_status;
    std::string m_key;
    fs::path m_path;
    Fd m_fd;
    bool m_owner = false;
};

namespace {

// The name's own folder is cleaned of stale temporaries as well as the target's when a link led
// elsewhere (a link may have taken the place of a file that a dead copy was writing): taking its
// lock does that, once a run.
void CleanNameFolder(const Resolved& r) {
    struct stat start {};
    struct stat target {};
    if (::fstat(r.start.Get(), &start) == 0 && ::fstat(r.folder.Get(), &target) == 0 &&
        (start.st_dev != target.st_dev || start.st_ino != target.st_ino)) {
        const FolderLock nameFolder(r.start.Get(), true);
    }
}

// Opens the resolved name for reading: never a FIFO or a device, and never waiting on one.
OpenedFile OpenResolved(const Resolved& r) {
    struct stat there {};
    if (::fstatat(r.folder.Get(), r.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        return {-1, errno == ENOENT ? Refused(FileError::Missing) : SystemError()};
    }
    if (!S_ISREG(there.st_mode)) {
        return {-1, Refused(FileError::NotRegular)};
    }
    Fd fd(::openat(r.folder.Get(), r.name.c_str(),
                   O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) {
        return {-1, errno == ENOENT ? Refused(FileError::Missing) : SystemError()};
    }
    // Checked again on what was opened: the name may have changed since.
    if (::fstat(fd.Get(), &there) != 0 || !S_ISREG(there.st_mode)) {
        return {-1, Refused(FileError::NotRegular)};
    }
    return {fd.Release(), Ok()};
}

FileSnapshot ReadResolved(const Resolved& r, std::size_t limit) {
    FileSnapshot snapshot;
    snapshot.path = r.path;
    const OpenedFile opened = OpenResolved(r);
    if (opened.fd < 0) {
        snapshot.state = opened.status.error == FileError::Missing
                             ? FileSnapshot::State::Missing
                             : FileSnapshot::State::Unreadable;
        snapshot.status = opened.status;
        return snapshot;
    }
    const Fd fd(opened.fd);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        snapshot.state = FileSnapshot::State::Unreadable;
        snapshot.status = SystemError();
        return snapshot;
    }
    snapshot.device = info.st_dev;
    snapshot.inode = info.st_ino;
    // Of a file over the bound only its first bytes are read, enough for a reader to tell its
    // kind; one byte past the bound tells a file that grew while it was read.
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    const std::size_t want =
        size > limit ? std::min(limit, kTooLargeHead) : static_cast<std::size_t>(size) + 1;
    snapshot.bytes.resize(want);
    std::size_t done = 0;
    while (done < want) {
        const ssize_t n = ::read(fd.Get(), snapshot.bytes.data() + done, want - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            snapshot.state = FileSnapshot::State::Unreadable;
            snapshot.status = SystemError();
            snapshot.bytes.clear();
            return snapshot;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool tooLarge = size > limit || done > limit;
    snapshot.bytes.resize(tooLarge ? std::min({done, limit, kTooLargeHead}) : done);
    snapshot.state = tooLarge ? FileSnapshot::State::TooLarge : FileSnapshot::State::Read;
    if (snapshot.state == FileSnapshot::State::TooLarge) {
        snapshot.status = Refused(FileError::TooLarge);
    }
    return snapshot;
}

// Reports its refusals itself (through NewFile).
FileStatus ReplaceResolved(const Resolved& r, std::string_view content) {
    NewFile file(r.folder.Get(), r.name, kTemporarySuffix, 0644, r.path);
    if (!file.Status()) {
        return file.Status();
    }
    if (!WriteAll(file.Fd(), content)) {
        return SystemError();
    }
    return file.Place();
}

}  // namespace

std::string FileStatus::Describe() const {
    switch (error) {
        case FileError::None:
            return "is fine";
        case FileError::Missing:
            return "does not exist";
        case FileError::NotRegular:
            return "is not a regular file (a pipe, a device or a folder), so it was not opened";
        case FileError::UntrustedLink:
            return "is a symbolic link that another user made in a folder others can write to, so "
                   "it was not followed";
        case FileError::LinkLoop:
            return "leads through too many symbolic links";
        case FileError::ReadOnly:
            return "is read-only, so it was not replaced";
        case FileError::TooLarge:
            return "is larger than the program ever writes";
        case FileError::Locked:
            return "is being written by another copy of the program";
        case FileError::NamesTaken:
            return "could not be kept aside: the old copies fill every name from .damaged to "
                   ".damaged-" +
                   std::to_string(kMaxKeptAside);
        case FileError::System:
            return std::string("cannot be used: ") + std::strerror(code);
    }
    return {};
}

void SetFileGateReporter(std::function<void(const std::string&)> reporter) {
    std::lock_guard lock(TheReporter().mutex);
    TheReporter().report = std::move(reporter);
}

namespace {

// Runs `step` (a write or a read of what is left, at what is done) until `size` bytes are done.
template <class Step>
bool AllOf(std::size_t size, Step step) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = step(done);
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

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
    return AllOf(bytes.size(), [&](std::size_t done) {
        return ::write(fd, bytes.data() + done, bytes.size() - done);
    });
}

bool ReadAllAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    return AllOf(size, [&](std::size_t done) {
        return ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    });
}

FileSnapshot ReadFile(const fs::path& file, std::size_t limit) {
    const Resolved r = Resolve(file);
    if (!r.status) {
        Report(file, r.status);
        FileSnapshot snapshot;
        snapshot.path = r.path;
        snapshot.state = FileSnapshot::State::Unreadable;
        snapshot.status = r.status;
        return snapshot;
    }
    FileSnapshot snapshot = ReadResolved(r, limit);
    Report(file, snapshot.status);
    return snapshot;
}

OpenedFile OpenFileForReading(const fs::path& file) {
    const Resolved r = Resolve(file);
    OpenedFile opened{-1, r.status};
    if (r.status) {
        opened = OpenResolved(r);
    }
    Report(file, opened.status);
    return opened;
}

NewFile::NewFile(int folder, std::string_view name, std::string_view suffix, mode_t mode,
                 const fs::path& shown) {
    Init(folder, name, shown.empty() ? fs::path(name) : shown, suffix, mode);
}

NewFile::NewFile(const fs::path& file, std::string_view suffix, mode_t mode) {
    auto [folder, name] = Split(file);
    if (folder.Get() < 0) {
        m_status = SystemError();
        return;
    }
    Init(folder.Get(), name, file, suffix, mode);
}

void NewFile::Init(int folder, std::string_view name, const fs::path& shown,
                   std::string_view suffix, mode_t mode) {
    m_shown = shown;
    Resolved r = Resolve(folder, std::string(name), shown);
    m_status = r.status;
    if (m_status) {
        CleanNameFolder(r);
        m_folder = r.folder.Release();
        m_name = std::move(r.name);
        Make(suffix, mode);
    }
    Report(m_shown, m_status);
}

void NewFile::Make(std::string_view suffix, mode_t mode) {
    // Refused before anything is written: the same checks hold again when it is placed.
    m_status = CheckReplaceable(m_folder, m_name);
    if (!m_status) {
        return;
    }
    // A temporary file is made and renamed under the folder's lock, which is what tells a
    // stale one from one being written.
    if (suffix == kTemporarySuffix) {
        m_lock = std::make_unique<FolderLock>(m_folder, true);
        m_status = m_lock->Status();
        if (!m_status) {
            return;
        }
    }
    auto [fd, temp] = CreateUnique(m_folder, m_name, suffix, mode);
    if (fd.Get() < 0) {
        m_status = SystemError();
        return;
    }
    m_fd = fd.Release();
    m_tempName = std::move(temp);
}

NewFile::~NewFile() {
    Discard();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (m_folder >= 0) {
        ::close(m_folder);
    }
}

FileStatus NewFile::Place(std::string_view otherName, bool keepOpen) {
    if (!m_status || m_placed) {
        return m_status ? Refused(FileError::Missing) : m_status;
    }
    const std::string name = otherName.empty() ? m_name : std::string(otherName);
    const FolderLock lock(m_folder, true);
    struct stat replaced {};
    FileStatus status = lock.Status();
    if (status) {
        status = CheckReplaceable(m_folder, name, &replaced);
    }
    if (status && m_fd >= 0) {
        // A file the user made private stays private. A file system without permissions
        // refuses the change; what the file holds matters more than its mode.
        if (replaced.st_mode != 0) {
            static_cast<void>(::fchmod(m_fd, replaced.st_mode & 07777));
        }
        if (::fsync(m_fd) != 0) {
            status = SystemError();
        } else if (!keepOpen && ::close(std::exchange(m_fd, -1)) != 0) {
            status = SystemError();
        }
    }
    // Left for the caller to place elsewhere or discard (the destructor does).
    if (status && ::renameat(m_folder, m_tempName.c_str(), m_folder, name.c_str()) != 0) {
        status = SystemError();
    }
    if (!status) {
        Report(m_shown.parent_path() / name, status);
        return status;
    }
    m_placed = true;
    m_tempName.clear();
    m_lock.reset();
    return SyncFolder(m_folder) ? Ok() : SystemError();
}

void NewFile::Discard() {
    if (!m_placed && m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempName.empty()) {
        ::unlinkat(m_folder, m_tempName.c_str(), 0);
        m_tempName.clear();
    }
    m_lock.reset();
}

int NewFile::ReleaseFd() {
    return m_placed ? std::exchange(m_fd, -1) : -1;
}

FileStatus WriteFileAtomically(const fs::path& file, std::string_view content) {
    const Resolved r = Resolve(file);
    if (!r.status) {
        Report(file, r.status);
        return r.status;
    }
    CleanNameFolder(r);
    return ReplaceResolved(r, content);
}

FileStatus UpdateFileAtomically(
    const fs::path& file, std::size_t limit,
    const std::function<std::optional<std::string>(const FileSnapshot&)>& change,
    bool waitForLock) {
    const Resolved r = Resolve(file);
    if (!r.status) {
        Report(file, r.status);
        return r.status;
    }
    CleanNameFolder(r);
    const FolderLock lock(r.folder.Get(), waitForLock);
    if (!lock.Status()) {
        Report(file, lock.Status());
        return lock.Status();
    }
    const FileSnapshot current = ReadResolved(r, limit);
    Report(file, current.status);
    const std::optional<std::string> content = change(current);
    return content ? ReplaceResolved(r, *content) : Ok();
}

KeptAside KeepFileAside(const FileSnapshot& snapshot) {
    KeptAside kept;
    auto [folder, name] = Split(snapshot.path);
    if (folder.Get() < 0) {
        kept.status = SystemError();
        return kept;
    }
    const FolderLock lock(folder.Get(), true);
    kept.status = lock.Status();
    struct stat there {};
    if (kept.status && ::fstatat(folder.Get(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        kept.status = SystemError();
    }
    // Another copy of the program replaced the file since it was read: that one is not damaged.
    if (kept.status && (there.st_dev != snapshot.device || there.st_ino != snapshot.inode)) {
        kept.status = SystemError(ESTALE);
    }
    for (int n = 1; kept.status && n <= kMaxKeptAside; ++n) {
        const std::string aside = name + (n == 1 ? ".damaged" : ".damaged-" + std::to_string(n));
        // Never over a name that is taken, not even by one that appears while we look.
        int moved =
            ::renameat2(folder.Get(), name.c_str(), folder.Get(), aside.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
            moved = ::linkat(folder.Get(), name.c_str(), folder.Get(), aside.c_str(), 0);
            if (moved == 0) {
                ::unlinkat(folder.Get(), name.c_str(), 0);
            }
        }
        if (moved == 0) {
            kept.aside = snapshot.path.parent_path() / aside;
            SyncFolder(folder.Get());
            Report(snapshot.path, kept.status, "was kept aside as " + kept.aside->string());
            return kept;
        }
        if (errno != EEXIST) {
            kept.status = SystemError();
        }
    }
    if (kept.status) {
        kept.status = Refused(FileError::NamesTaken);
    }
    Report(snapshot.path, kept.status);
    return kept;
}

}  // namespace platform
