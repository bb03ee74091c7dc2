#pragma once

// Snapshots of the painted picture, as BMP or JPEG files named after the local date and time
// (yymmddThhmmss). A second snapshot within the same second gets a suffix ("_2", "_3" ...) instead
// of replacing the first.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

inline constexpr std::uint32_t kSnapshotBmp = 0;

// The file name without the extension for a local time: 051231T235959.
std::string SnapshotBaseName(const std::tm& local);

// The BMP file of a bottom-up blue-green-red picture; rows are padded to four bytes as the
// format requires.
std::vector<std::uint8_t> BmpFileBytes(const std::uint8_t* picture, std::uint16_t width,
                                       std::uint16_t height);

// Creates `folder`/`baseName` + `extension`, or the first free name with a suffix, and writes
// `bytes` to it. The path written, or empty when nothing could be written (nothing is left
// behind then).
std::filesystem::path WriteNewFile(const std::filesystem::path& folder, const std::string& baseName,
                                   const std::string& extension,
                                   const std::vector<std::uint8_t>& bytes);

// Writes the picture (bottom-up, blue-green-red, rows of width x 3 bytes) to the folder as BMP
// (format 0) or JPEG (any other format). The file written, or empty when nothing was written.
std::filesystem::path SaveSnapshot(const std::string& folder, const std::uint8_t* picture,
                                   std::uint16_t width, std::uint16_t height, std::uint32_t format);

// What the user is told after a snapshot: the status line's notice names the file (or says that
// none was written), the trace line gives the whole path (or the folder that refused it).
struct SnapshotReport {
    std::string notice;
    std::string trace;
};
SnapshotReport ReportSnapshot(const std::filesystem::path& written, const std::string& folder);
