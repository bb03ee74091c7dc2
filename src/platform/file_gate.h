#pragma once

// The one way in and out of the files the program keeps beside itself and in the folders the user
// picks (settings, address book, alarm list, logs, control file, skins, sounds, records,
// snapshots, a program copy, a backup). Another user of the machine may share those folders, so
// every file passes the same rules here:
// - Only regular files are opened. A FIFO, a device or a folder at a name is refused at once,
//   never waited on or read.
// - One rule for symbolic links, judged for every link on the way, folder links as well as the
//   last name: in a folder that others can write to (group or world writable, sticky or not) a
//   link is followed only when it belongs to the user or to the folder's owner, as the kernel's
//   own guard for shared folders does; in a folder that only its owner can write, every link is
//   followed. A path is walked one name at a time on descriptors, so what was judged is what is
//   used, however the names change meanwhile.
// - Every read has a bound chosen by its caller from what the program itself ever writes there;
//   a larger file is not read whole but reported too large, so the caller can keep it aside.
// - A file is replaced whole, never edited in place: a temporary file under a name no one can
//   guess and no more readable than the file it replaces, created exclusively and never through a
//   link, synced, renamed over the name, then the folder synced. A file the user made read-only
//   is not replaced.
// - Every replacement, and every read-modify-write, holds the folder's lock: a lock file in a
//   folder only the user can reach, so another user can never hold it, and no wait on it
//   outlasts kFolderLockWaitMs (a copy of the program that stopped while holding it makes the
//   save fail, nothing else). Where the user has no such folder, files are written unlocked.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The longest a save waits for another copy of the program that holds the folder's lock.
inline constexpr int kFolderLockWaitMs = 2000;
// The keep-aside names run from "<file>.damaged", "<file>.damaged-2" to this.
inline constexpr int kMaxKeptAside = 999;

enum class FileError {
    None,
    Missing,        // nothing has the name
    NotRegular,     // a FIFO, device, socket or folder has the name
    UntrustedLink,  // a link another user made in a folder others can write to
    LinkLoop,       // links that lead on without end
    ReadOnly,       // the user made the file read-only
    TooLarge,       // larger than the program ever writes there
    Locked,         // another copy of the program held the folder's lock too long
    NamesTaken,     // every keep-aside name is taken
    System,         // the system refused; `code` holds errno
};

struct FileStatus {
    FileError error = FileError::None;
    int code = 0;  // errno for FileError::System

    explicit operator bool() const { return error == FileError::None; }
    // Why, in words that follow the file's name: "is read-only", "is not a regular file", ...
    std::string Describe() const;
};

// A read's finding.
struct FileSnapshot {
    enum class State { Missing, Unreadable, TooLarge, Read };
    State state = State::Missing;
    std::string bytes;           // Read: the whole file; TooLarge: its first bytes (4 KB at most)
    std::filesystem::path path;  // the file read: the target when the name was a link
    FileStatus status;           // why it is Unreadable
    dev_t device = 0;            // which file it was, for KeepFileAside
    ino_t inode = 0;
};

// Reads at most `limit` bytes of `file`.
FileSnapshot ReadFile(const std::filesystem::path& file, std::size_t limit);

// An open descriptor for reading `file` (a regular file, reached by the link rule); -1 with the
// reason otherwise. The caller closes it.
struct OpenedFile {
    int fd = -1;
    FileStatus status;
};
OpenedFile OpenFileForReading(const std::filesystem::path& file);

// Writes all of `bytes` to `fd`, going on after short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes);
// Reads exactly `size` bytes at `offset` of `fd` into `out`, going on after short reads and
// interruptions; false at the file's end or on an error.
bool ReadAllAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size);

// A file on its way to its name: written under a name no one can guess beside the file the name
// stands for, and put in place whole by Place. Destroying it unplaced removes it.
class NewFile {
public:
    // In the folder open as `folder` (AT_FDCWD: the current folder), for `name` there; `shown`
    // names it in reports (the name when empty).
    NewFile(int folder, std::string_view name, std::string_view suffix = ".tmp", mode_t mode = 0644,
            const std::filesystem::path& shown = {});
    explicit NewFile(const std::filesystem::path& file, std::string_view suffix = ".tmp",
                     mode_t mode = 0644);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Whether the file could be made; Fd() is then open for writing.
    const FileStatus& Status() const { return m_status; }
    int Fd() const { return m_fd; }

    // Syncs the file and renames it over the name (or over `otherName` in the same folder), under
    // the folder's lock (taken here, on the calling thread, unless that thread holds it), then
    // syncs the folder. Only nothing or a regular file the user may write
    // is replaced; the replacement keeps the mode of the file it replaces. With `keepOpen` the
    // descriptor stays open for writing after the rename (the caller takes it over).
    FileStatus Place(std::string_view otherName = {}, bool keepOpen = false);
    // Removes the file unplaced.
    void Discard();
    // Hands over the open descriptor of a placed file.
    int ReleaseFd();

private:
    void Init(int folder, const std::filesystem::path& file, const std::filesystem::path& shown,
              std::string_view suffix, mode_t mode);
    void Make(std::string_view suffix, mode_t mode);

    std::filesystem::path m_shown;  // the name as the caller gave it, for reports
    int m_folder = -1;              // the target's folder
    std::string m_name;
    std::string m_tempName;
    int m_fd = -1;
    FileStatus m_status;
    bool m_placed = false;
};

// `file` replaced whole by `content`.
FileStatus WriteFileAtomically(const std::filesystem::path& file, std::string_view content);

// One read-modify-write of `file` under its folder's lock. `change` gets the file as it stands
// (read with `limit`) and returns its new content, or nullopt to leave it as it is. OK when the
// file was written or left alone. With `waitForLock` false, a lock another copy of the program
// holds fails the update at once (for writes at exit).
FileStatus UpdateFileAtomically(
    const std::filesystem::path& file, std::size_t limit,
    const std::function<std::optional<std::string>(const FileSnapshot&)>& change,
    bool waitForLock = true);

// A damaged or foreign file of ours moved beside itself to the first free "<file>.damaged",
// "<file>.damaged-2", ... "<file>.damaged-999", never over anything that has one of those names.
// Moves only the file `snapshot` read (a copy of the program that replaced it meanwhile keeps its
// file), under the folder's lock.
struct KeptAside {
    std::optional<std::filesystem::path> aside;
    FileStatus status;
};
KeptAside KeepFileAside(const FileSnapshot& snapshot);

// Where a refusal of the gate is reported (one line of text, e.g. to the trace log); nothing by
// default. Called on the thread that met the refusal.
void SetFileGateReporter(std::function<void(const std::string&)> reporter);

}  // namespace platform
