#include "platform/file_gate.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;
// A walk of more names than this, or this many folders deep, is no path the program keeps; the
// depth bound also bounds the descriptors a walk holds.
constexpr int kMaxSteps = 4096;
constexpr std::size_t kMaxDepth = 128;
// Enough draws that only a folder we may not write to, never a planted name, ends the search.
constexpr int kTemporaryDraws = 16;
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kRandomDigits = 16;
// A folder holding more entries than this is not searched further for stale temporaries: a
// folder flooded with names must not make the program slow.
constexpr int kMaxScannedEntries = 1 << 16;
// Far longer than a writer takes from making its temporary to locking it: a temporary untouched
// this long that no writer holds was left by a copy of the program that died.
constexpr std::time_t kStaleTemporaryAgeS = 60 * 60;
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

void ReportLine(const std::string& line) {
    std::function<void(const std::string&)> reporter;
    {
        std::lock_guard lock(TheReporter().mutex);
        reporter = TheReporter().report;
    }
    if (reporter) {
        reporter(line);
    }
}

void Report(const fs::path& file, const FileStatus& status, const std::string& done = {}) {
    if ((status && done.empty()) || status.error == FileError::Missing) {
        return;
    }
    ReportLine(file.string() + " " + (status ? done : status.Describe()));
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
    Fd start;  // the folder of the last name as the path gives it (-1 when it cannot be listed)
    std::string startName;
    Fd folder;
    std::string name;
    fs::path path;  // for messages: the target as the links spell it
    FileStatus status;
};

// Whether a path can only stand for a folder: "/", a trailing "/", "." or "..".
bool NamesAFolder(const fs::path& path) {
    const fs::path last = path.filename();
    return last.empty() || last == "." || last == "..";
}

// Adds the names of `path` to those still to walk, the next one last ("a//./b" walks "a", "b").
void PushNames(std::vector<std::string>& names, const fs::path& path) {
    std::vector<std::string> in;
    for (const fs::path& part : path.relative_path()) {
        if (!part.empty() && part != ".") {
            in.push_back(part.string());
        }
    }
    names.insert(names.end(), in.rbegin(), in.rend());
}

Fd OpenRoot() {
    return Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// A descriptor to list, sync and lock a folder the walk holds as a path descriptor: "." is no
// name anyone can change.
Fd OpenFolder(int walked) {
    return Fd(::openat(walked, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Walks `path` from `at` (an absolute one from "/") one name at a time, each opened without
// following from the folder before it, so nothing is looked up twice between its check and its
// use: a link is judged and read on the descriptor it was opened as, folder links as well as the
// last name (which is followed only with `followLast`).
Resolved Walk(int at, const fs::path& path, bool followLast) {
    Resolved r;
    r.path = path;
    if (path.empty()) {
        r.status = SystemError(ENOENT);
        return r;
    }
    if (NamesAFolder(path)) {
        r.status = Refused(FileError::NotRegular);
        return r;
    }
    std::vector<std::string> names;
    PushNames(names, path);
    Fd current =
        path.is_absolute() ? OpenRoot() : Fd(::openat(at, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    // The folders the walk came through, for "..": it goes back to the folder it came from, as
    // it was then, so a folder moved meanwhile takes the walk nowhere else. Only above where the
    // walk began is ".." looked up.
    std::vector<Fd> walked;
    fs::path spelled = path.root_path();
    int links = 0;
    for (int step = 0; step < kMaxSteps && walked.size() < kMaxDepth; ++step) {
        if (current.Get() < 0) {
            r.status = SystemError();
            return r;
        }
        if (names.empty()) {
            r.status = Refused(FileError::NotRegular);
            return r;
        }
        const std::string name = std::move(names.back());
        names.pop_back();
        const bool last = names.empty();
        if (name == "..") {
            if (walked.empty()) {
                current = Fd(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            } else {
                current = std::move(walked.back());
                walked.pop_back();
            }
            spelled /= name;
            continue;
        }
        if (last && r.startName.empty()) {
            r.start = OpenFolder(current.Get());
            r.startName = name;
        }
        Fd next(::openat(current.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        const bool found = next.Get() >= 0 && ::fstat(next.Get(), &info) == 0;
        if (!found && !(last && errno == ENOENT)) {
            r.status = SystemError();
            return r;
        }
        if (found && S_ISLNK(info.st_mode) && (!last || followLast)) {
            struct stat folder {};
            if (::fstat(current.Get(), &folder) != 0) {
                r.status = SystemError();
                return r;
            }
            if (!LinkTrusted(info.st_uid, folder)) {
                r.status = Refused(FileError::UntrustedLink);
                return r;
            }
            if (++links > kMaxLinks) {
                r.status = Refused(FileError::LinkLoop);
                return r;
            }
            std::string target(static_cast<std::size_t>(std::max<off_t>(info.st_size, PATH_MAX)),
                               '\0');
            const ssize_t length = ::readlinkat(next.Get(), "", target.data(), target.size());
            if (length <= 0 || static_cast<std::size_t>(length) == target.size()) {
                r.status = SystemError(length < 0 ? errno : ENAMETOOLONG);
                return r;
            }
            target.resize(static_cast<std::size_t>(length));
            const fs::path to(target);
            if (last && NamesAFolder(to)) {
                r.status = Refused(FileError::NotRegular);
                return r;
            }
            if (to.is_absolute()) {
                walked.clear();
                current = OpenRoot();
                spelled = "/";
            }
            PushNames(names, to);
            continue;
        }
        if (last) {
            r.folder = OpenFolder(current.Get());
            r.status = r.folder.Get() < 0 ? SystemError() : Ok();
            r.name = name;
            r.path = (spelled / name).lexically_normal();
            return r;
        }
        if (!S_ISDIR(info.st_mode)) {
            r.status = SystemError(ENOTDIR);
            return r;
        }
        walked.push_back(std::move(current));
        current = std::move(next);
        spelled /= name;
    }
    r.status = SystemError(ENAMETOOLONG);
    return r;
}

Resolved Resolve(const fs::path& file) {
    return Walk(AT_FDCWD, file, true);
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

// Whether `entry` is a temporary NewFile makes for `name`: "<name>.<16 hex digits><suffix>".
bool TemporaryOf(std::string_view entry, std::string_view name, std::string_view suffix) {
    if (entry.size() != name.size() + 1 + kRandomDigits + suffix.size() ||
        !entry.starts_with(name) || !entry.ends_with(suffix) || entry[name.size()] != '.') {
        return false;
    }
    const std::string_view digits = entry.substr(name.size() + 1, kRandomDigits);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A temporary of `name` left by a copy of the program that died while it wrote: the user's, not
// touched for longer than any save takes, and not locked. A writer holds flock on its temporary
// from its making to its placing, and the lock goes with the writer's process, so a live one of
// another copy (which may take its folder locks elsewhere) is never taken; the age covers the
// moment between the making and the flock.
bool Stale(int folder, const char* entry) {
    const Fd fd(::openat(folder, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_uid != ::geteuid() ||
        opened.st_mtime > std::time(nullptr) - kStaleTemporaryAgeS ||
        ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return false;
    }
    struct stat named {};
    return ::fstatat(folder, entry, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Removes the stale temporaries of `name` in `folder`. The scan is bounded, and one done at the
// first write of the name finds everything an earlier run left.
void RemoveStaleTemporaries(int folder, std::string_view name, std::string_view suffix) {
    Fd copy(::dup(folder));
    DIR* dir = copy.Get() >= 0 ? ::fdopendir(copy.Get()) : nullptr;
    if (!dir) {
        return;
    }
    copy.Release();
    ::rewinddir(dir);
    int scanned = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (++scanned > kMaxScannedEntries) {
            break;
        }
        if (TemporaryOf(entry->d_name, name, suffix) && Stale(folder, entry->d_name)) {
            ::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(dir);
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

std::string KeyOf(const struct stat& folder) {
    return std::to_string(folder.st_dev) + "-" + std::to_string(folder.st_ino);
}

// A folder only the user can reach: no other user can open, let alone lock, a file in it. Its
// parent is the user's and no one else's to write, or another user could swap the folder for his.
std::optional<fs::path> PrivateFolder(const fs::path& parent, const std::string& name) {
    struct stat above {};
    if (parent.empty() || !parent.is_absolute() || ::stat(parent.c_str(), &above) != 0 ||
        !S_ISDIR(above.st_mode) || above.st_uid != ::geteuid() ||
        (above.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
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

// There is no place for the locks in a shared folder such as /tmp: a name the user's other
// copies could find there is one another user can predict and take first, and one he cannot
// predict locks out no other copy. Without a private folder files are written unlocked.
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
        return PrivateFolder(fs::path(home) / ".cache", "torvel-locks");
    }
    return std::nullopt;
}

void ReportNoLockFolder() {
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true)) {
        ReportLine(
            "No private folder for the file locks ($XDG_RUNTIME_DIR/torvel-locks or "
            "~/.cache/torvel-locks): files are written without them, so two copies of the "
            "program saving one file at once may lose one's change");
    }
}

struct LockRecord {
    std::mutex mutex;
    std::map<std::string, std::thread::id> holders;  // folder → the thread that holds its lock
    std::set<std::string> swept;                     // names whose stale temporaries are gone
};

// Never destroyed, as a writer thread still running at exit (trace.log's) may take a lock.
LockRecord& Record() {
    static LockRecord* const record = new LockRecord;
    return *record;
}

// Once a run for each name written in each folder.
void RemoveStaleTemporariesOnce(int folder, const std::string& name, std::string_view suffix) {
    struct stat info {};
    if (folder < 0 || ::fstat(folder, &info) != 0) {
        return;
    }
    const std::string key = KeyOf(info) + "-" + BirthOf(folder) + "/" + name + std::string(suffix);
    {
        std::lock_guard lock(Record().mutex);
        if (!Record().swept.insert(key).second) {
            return;
        }
    }
    RemoveStaleTemporaries(folder, name, suffix);
}

// The name's own folder is swept as well as the target's when a link led elsewhere: a link may
// have taken the place of a file that a dead copy was writing.
void RemoveStaleTemporariesOnce(const Resolved& r, std::string_view suffix) {
    RemoveStaleTemporariesOnce(r.folder.Get(), r.name, suffix);
    RemoveStaleTemporariesOnce(r.start.Get(), r.startName, suffix);
}

// The lock of one folder, named after the folder's device and inode in the user's private lock
// folder. flock belongs to the open file description, so it excludes the other threads of this
// process as well as other copies of the program. The lock file is removed while held; a waiter
// that locked a removed one tries again. A thread that holds a folder's lock takes it again
// without waiting for itself (an update holds it while it reads, writes and places).
class FolderLock {
public:
    FolderLock(int folder, bool wait) {
        struct stat info {};
        if (::fstat(folder, &info) != 0) {
            m_status = SystemError();
            return;
        }
        m_key = KeyOf(info);
        {
            std::lock_guard lock(Record().mutex);
            const auto held = Record().holders.find(m_key);
            if (held != Record().holders.end() && held->second == std::this_thread::get_id()) {
                return;
            }
        }
        const std::optional<fs::path> locks = LockFolder();
        if (!locks) {
            ReportNoLockFolder();
            return;
        }
        m_path = *locks / (m_key + ".lock");
        m_status = Acquire(wait);
        if (!m_status) {
            return;
        }
        std::lock_guard lock(Record().mutex);
        Record().holders[m_key] = std::this_thread::get_id();
        m_owner = true;
    }
    ~FolderLock() {
        if (!m_owner) {
            return;
        }
        {
            std::lock_guard lock(Record().mutex);
            Record().holders.erase(m_key);
        }
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
FileStatus Replace(NewFile& file, std::string_view content) {
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
    Init(AT_FDCWD, file, file, suffix, mode);
}

void NewFile::Init(int folder, const fs::path& file, const fs::path& shown, std::string_view suffix,
                   mode_t mode) {
    m_shown = shown;
    Resolved r = Walk(folder, file, true);
    m_status = r.status;
    if (m_status) {
        RemoveStaleTemporariesOnce(r, suffix);
        m_folder = r.folder.Release();
        m_name = std::move(r.name);
        Make(suffix, mode);
    }
    Report(m_shown, m_status);
}

void NewFile::Make(std::string_view suffix, mode_t mode) {
    // Refused before anything is written: the same checks hold again when it is placed.
    struct stat replaced {};
    m_status = CheckReplaceable(m_folder, m_name, &replaced);
    if (!m_status) {
        return;
    }
    // The new text is never readable by more than the file it replaces while it is written.
    auto [fd, temp] = CreateUnique(m_folder, m_name, suffix,
                                   replaced.st_mode != 0 ? replaced.st_mode & 0777 : mode);
    if (fd.Get() < 0) {
        m_status = SystemError();
        return;
    }
    // Held until the file is placed or removed: it tells the sweep that its writer lives.
    static_cast<void>(::flock(fd.Get(), LOCK_EX | LOCK_NB));
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
    if (keepOpen) {
        ::flock(m_fd, LOCK_UN);
    }
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
}

int NewFile::ReleaseFd() {
    return m_placed ? std::exchange(m_fd, -1) : -1;
}

FileStatus WriteFileAtomically(const fs::path& file, std::string_view content) {
    NewFile replacement(file);
    return Replace(replacement, content);
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
    RemoveStaleTemporariesOnce(r, kTemporarySuffix);
    const FolderLock lock(r.folder.Get(), waitForLock);
    if (!lock.Status()) {
        Report(file, lock.Status());
        return lock.Status();
    }
    const FileSnapshot current = ReadResolved(r, limit);
    Report(file, current.status);
    const std::optional<std::string> content = change(current);
    if (!content) {
        return Ok();
    }
    NewFile replacement(r.folder.Get(), r.name, kTemporarySuffix, 0644, r.path);
    return Replace(replacement, *content);
}

KeptAside KeepFileAside(const FileSnapshot& snapshot) {
    KeptAside kept;
    const Resolved r = Walk(AT_FDCWD, snapshot.path, false);
    if (!r.status) {
        kept.status = r.status;
        Report(snapshot.path, kept.status);
        return kept;
    }
    const Fd& folder = r.folder;
    const std::string& name = r.name;
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
