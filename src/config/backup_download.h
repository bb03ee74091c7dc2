#pragma once

// The network backup's dealings with the device, without widgets: the device's disk bitmap and
// the rows it gives, the "/NetworkBk.cgi" request, the block headers of its reply and the
// progress figure. The reply has no status line: blocks follow from its first byte, each an
// 8-byte header; data blocks carry their bytes behind it, the end block and any other type carry
// nothing.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_gate.h"

namespace config {

inline constexpr int kMaxBackupMegabytes = 500;
inline constexpr std::size_t kDiskMapBytes = 32;
inline constexpr std::size_t kBackupHeaderBytes = 8;
// The device sends data blocks of at most this many bytes.
inline constexpr std::uint32_t kBackupBlockBytes = 2048;

inline constexpr std::uint32_t kBackupBlockEnd = 1;
inline constexpr std::uint32_t kBackupBlockData = 3;

using DiskMap = std::array<std::uint8_t, kDiskMapBytes>;

// One row of the disk list and the disk position (bit of the map) it stands for.
struct DiskRow {
    std::uint8_t bit;
    std::string label;
};

// The rows of the disks present, in bit order: "MASTER", "SLAVE" (or "DVD" when `flag` is
// non-zero), then "EXT-00" for position 4 onwards. Positions 2 and 3 are never offered.
std::vector<DiskRow> DiskRows(const DiskMap& map, std::uint8_t flag);
// The disk position of a row of DiskRows; 0 (the master disk) for no row or one past the end.
std::uint8_t DiskNumberOfRow(const DiskMap& map, int row);

// What the user asked for; the channel counts from 0.
struct BackupRequest {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t disk = 0;
    int channel = 0;
    int megabytes = 0;
};

// The whole request, request line to the blank line; it has no body. Empty when the cookie or
// the host holds characters a request cannot carry.
std::string BackupRequestText(const BackupRequest& request, const std::string& cookie,
                              const std::string& host);

struct BackupBlockHeader {
    std::uint32_t length = 0;
    std::uint32_t type = 0;

    static BackupBlockHeader Decode(const std::uint8_t* bytes);
};

// Percent of the requested size received so far; past 100 when the device sends more.
std::uint32_t BackupPercent(std::uint64_t received, int megabytes);

// The size edit while the user types: the digits of `text` as a number within
// 0..kMaxBackupMegabytes; nullopt when there is no digit.
std::optional<int> TypedBackupSize(const std::string& text);

// A backup on its way to `target` (platform::NewFile). It is written to a part file beside it,
// made afresh under a name no one can plant in advance ("<target name>.<random digits>.part"),
// and renamed over the target only once the download is whole, so a failed or stopped download
// never touches the previous backup. What did arrive of a broken download is kept as
// "<target>.part" (an empty one is removed); Discard removes it whatever it holds.
class BackupFile {
public:
    explicit BackupFile(std::filesystem::path target);
    ~BackupFile();
    BackupFile(const BackupFile&) = delete;
    BackupFile& operator=(const BackupFile&) = delete;

    // Starts a new part file.
    bool Open();
    bool Append(std::span<const std::uint8_t> bytes);
    // Syncs the part file and renames it over the target; refused when the target is there and
    // is not a regular file the user may write. A part that cannot be synced is removed.
    bool Commit();
    // Removes the part file: a download that could not be written keeps nothing of itself.
    void Discard();

private:
    std::filesystem::path m_target;
    std::unique_ptr<platform::NewFile> m_part;
    std::uint64_t m_written = 0;
    bool m_committed = false;
};

enum class BackupTarget {
    Usable,
    Unusable,        // the folder takes no new file, or the target is a folder
    NotRegularFile,  // something other than a regular file (a device, a link that is not
                     // followed, ...) is there
};

// Whether a backup can be written at `target`. Nothing is left behind, and an earlier backup
// there is not touched.
BackupTarget CheckBackupTarget(const std::filesystem::path& target);

}  // namespace config
