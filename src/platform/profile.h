#pragma once

// Profile (ini) files as the settings code expects them: "[section]" lines and "key=value" lines,
// section and key names compared without regard to case, values cut to 255 characters.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_gate.h"

namespace platform {

inline constexpr std::size_t kProfileValueMax = 255;
// Far above any settings file the program writes; a larger one reads as no file and is kept aside
// at the next write.
inline constexpr std::size_t kProfileFileMax = 1 << 20;

// The values of some keys of one section, from one read of the file: a load that wants thirty
// keys reads and splits the file once, not once a key. The first section of that name counts,
// and in it the first line of each key.
class ProfileSection {
public:
    ProfileSection(const std::filesystem::path& file, std::string_view section,
                   const std::vector<std::string>& keys);

    // The value of `key`, or `fallback` when the file, section or key is missing (or was not
    // among the keys asked for) or the value is empty. One pair of matching quotes (" or ')
    // around the value is dropped. Cut to kProfileValueMax characters.
    std::string String(std::string_view key, std::string_view fallback) const;
    // Like String, then parsed as the classic reader does: leading blanks, an optional sign,
    // decimal digits up to the first other character, wrapping modulo 2^32. A value without
    // digits reads as 0; a missing key or empty value gives `fallback`.
    std::int32_t Int(std::string_view key, std::int32_t fallback) const;

private:
    struct Value {
        std::string key;
        std::string text;
        bool found = false;
    };
    const Value* Find(std::string_view key) const;

    std::vector<Value> m_values;
};

// One key of one section, as ProfileSection reads it.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback);
std::int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                            std::string_view key, std::int32_t fallback);

// Replaces the value in place, or appends the key to its section, creating the section and the
// file as needed; every other line stays as it was. The file is replaced as one update
// (platform/file_gate), so a failed write leaves the old file whole. A value ends at its first
// line break. Fails when the file exists but cannot be read, or cannot be written.
FileStatus WriteProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view value);

struct ProfileEntry {
    std::string key;
    std::string value;
};
// Several writes into one section as one replacement of the file: all or nothing.
FileStatus WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                               const std::vector<ProfileEntry>& entries);
// The same writes made to a file's `content`, for a caller that places the file itself.
std::string WithProfileStrings(const std::string& content, std::string_view section,
                               const std::vector<ProfileEntry>& entries);

}  // namespace platform
