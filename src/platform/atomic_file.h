#pragma once

// The files the program keeps beside itself (settings, address book, alarm list, trace log) are
// replaced whole, never edited in place, and two copies of the program may share one folder.
// Every such write goes through here: a crash or a power loss leaves the old file or the new one,
// and a read-modify-write by one copy never overwrites a change another copy made meanwhile.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A file as a read found it.
struct FileSnapshot {
    enum class State { Missing, Unreadable, Read };
    State state = State::Missing;
    std::string bytes;           // the whole file when Read
    std::filesystem::path path;  // the file read: the target when the name was a symbolic link
};

FileSnapshot ReadWholeFile(const std::filesystem::path& file);

// Writes all of `bytes` to `fd`, going on after short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes);

// Writes a uniquely named temporary file in the same folder, syncs it, renames it over `file` and
// syncs the folder, so that the rename itself survives a power loss. The new file keeps the
// permissions of the one it replaces, and a symbolic link stays a link: its target is replaced,
// in the target's folder (a dangling link gets its target created).
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content);

// One read-modify-write of `file` under an advisory lock on its folder (the target's folder when
// `file` is a symbolic link), which every copy of the program takes for these updates. `change`
// gets the file as it stands and returns its new content, or nullopt to leave it as it is. Under
// the lock, the temporary files of this file left by a copy of the program that died while
// writing are removed. False when the lock cannot be taken or the write fails; true when the file
// was written or left alone.
bool UpdateFileAtomically(
    const std::filesystem::path& file,
    const std::function<std::optional<std::string>(const FileSnapshot&)>& change);

}  // namespace platform
