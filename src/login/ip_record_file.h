#pragma once

// IPRecord.dat, the address book's file beside the executable: 400-byte records without a file
// header, each holding a user name, a device address, a comment and a web port. Three constant
// check codes mark a well-formed record; a file with a wrong one is left exactly as it is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_gate.h"

inline constexpr std::size_t kIPRecordSize = 400;
// Far more entries than anyone keeps (10,485); a larger file is not read but kept aside.
inline constexpr std::size_t kIPRecordFileMax = 4 << 20;
inline constexpr std::size_t kIPRecordTextField = 128;
inline constexpr std::uint32_t kCheckCodeForUser = 0x12121212;
inline constexpr std::uint32_t kCheckCodeForIPAddress = 0x4C4C4C4C;
inline constexpr std::uint32_t kCheckCodeForComment = 0x8A8A8A8A;

struct IPRecord {
    std::string user;
    std::string address;  // dotted IPv4 or a host name, as typed
    std::string comment;
    std::uint16_t port = 0;

    bool operator==(const IPRecord&) const = default;
};

// Whether a typed text can name a device: a text of only digits and dots is taken as a dotted
// IPv4 address when it is sent, so it must be one, written as it would be written back (four
// numbers 0 to 255, no leading zeros); any other text must be a host name: labels of letters,
// digits, "-" and "_" between single dots, each of 1 to 63 characters, 253 characters in all,
// that the resolver does not read as a number ("0x7f.1").
bool IsDeviceAddressText(std::string_view text);

using IPRecordBytes = std::array<std::uint8_t, kIPRecordSize>;

// Texts longer than 127 characters keep their first 127, so every field stays zero-terminated.
IPRecordBytes EncodeIPRecord(const IPRecord& record);
// Null when a check code is wrong. A text runs to its zero, or to the end of its field.
std::optional<IPRecord> DecodeIPRecord(const std::uint8_t* bytes);

enum class IPRecordFileStatus {
    Ok,
    OpenFailed,
    Bad,
    NotKeptAside,  // damaged, and it could not be kept aside
};

struct IPRecordFileContents {
    IPRecordFileStatus status = IPRecordFileStatus::Ok;
    platform::FileStatus why;  // for OpenFailed and NotKeptAside
    std::vector<IPRecord> records;
    // Where a cut file went (its size was not a whole number of records).
    std::optional<std::filesystem::path> keptAside;
};

// Reads every whole record; a missing file is created empty. A file with a trailing part of a
// record, or larger than kIPRecordFileMax, is damaged: it is kept aside (platform::KeepFileAside)
// and replaced by its whole records.
IPRecordFileContents ReadIPRecordFile(const std::filesystem::path& file);

// Replaces the file with these records (platform/file_gate), so a failed write leaves the
// previous book whole.
platform::FileStatus WriteIPRecordFile(const std::filesystem::path& file,
                                       const std::vector<IPRecord>& records);
