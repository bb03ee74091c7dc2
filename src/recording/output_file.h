#pragma once

// A file written at explicit offsets, whose every write is checked. Record files are created new
// and empty: an existing file is never opened for writing, so a finished recording can never be
// overwritten by a later one.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace recording {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the first free name of folder/stem + extension, folder/stem_1 + extension, ...
    // (the folder must exist). False, with the reason in Error(), when none can be created.
    bool CreateUnique(const std::filesystem::path& folder, std::string_view stem,
                      std::string_view extension);
    bool IsOpen() const { return m_fd >= 0; }
    const std::filesystem::path& Path() const { return m_path; }

    // Writes the parts one after another from `offset`, all or nothing reported: false when any
    // byte could not be written (a full disk, a file-size limit, an I/O error).
    bool WriteAt(std::uint64_t offset, std::initializer_list<std::span<const std::uint8_t>> parts);
    bool Truncate(std::uint64_t size);
    // Closes the file; false when the system reports that data could not be written.
    bool Close();
    // Closes the file and removes it; false when it cannot be removed.
    bool Remove();

    // The system's text for the last failure.
    const std::string& Error() const { return m_strError; }

private:
    bool Fail(const char* what);

    int m_fd = -1;
    std::filesystem::path m_path;
    std::string m_strError;
};

// prefix + YYMMDD + "T" + hhmmss + suffix, from the local time of `t`.
std::string RecordFileStem(std::string_view prefix, std::int64_t t, std::string_view suffix);

// The first `maxChars` characters of the device's session cookie, safe in a file name: anything
// outside [A-Za-z0-9_-] becomes "_".
std::string FileNameSafe(std::string_view text, std::size_t maxChars);

}  // namespace recording
