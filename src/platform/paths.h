#pragma once

// Where the program's files live, and the backslash paths that the skin tables and resource
// lists are written in.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The folder of the running executable, or the folder set by SetProgramFolder (tests).
std::filesystem::path ProgramFolder();
void SetProgramFolder(const std::filesystem::path& folder);

// The user's desktop folder: XDG_DESKTOP_DIR from the XDG user-dirs file, else $HOME/Desktop.
// Empty when neither can be worked out (no home folder).
std::optional<std::filesystem::path> DesktopFolder();

// A folder text as the settings keep it: the native form with exactly one trailing separator
// (an empty text stays empty).
std::string WithTrailingSeparator(std::string_view folder);

// The folder that holds `file`: its parent, or the current folder (".") for a bare name.
std::filesystem::path FolderOf(const std::filesystem::path& file);

// A relative path written with backslashes ("BMP\LOGIN\x.bmp") as a native path.
std::filesystem::path FromBackslashPath(std::string_view path);

// `base` / `relative`, where `relative` may use backslashes; when that exact path does not exist,
// each component is matched without regard to case, so skin files named in another case are
// still found. Returns the exact path when nothing matches.
std::filesystem::path ResolvePath(const std::filesystem::path& base, std::string_view relative);

}  // namespace platform
