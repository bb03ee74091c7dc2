// The device's disks and the download of recorded data from them: "/GetDvrHDD.cgi" answers a
// 32-byte disk bitmap and a flag byte; "/NetworkBk.cgi" answers without a status line, with
// blocks from the first byte on, each an 8-byte little-endian header {u32 length, u32 type}:
// type 3 carries `length` bytes of data, type 1 ends the backup, any other type carries nothing.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace device_emulator {

class Connection;
struct DeviceCore;
struct RecordedRequest;
struct Reply;

// Where the backup reply breaks off, at the block `break_block` (counted from 0 over the data
// blocks; the end block counts as the block after the last data block).
enum class BackupBreak {
    None,
    CloseBeforeHeader,  // the connection closes where the block would begin
    CloseInHeader,      // half of the block's header, then close
    CloseInPayload,     // the header and half of the payload (a short block), then close
    Stall,              // nothing more is sent; the connection stays open
    OversizeLength,     // the header claims `oversize_length` bytes; the block and the rest follow
};

struct BackupSettings {
    // Disk positions: bit i is bit (i mod 8) of byte (i div 8). Default: the master disk only.
    std::array<std::uint8_t, 32> disk_map = {1};
    std::uint8_t disk_flag = 0;  // byte 32: non-zero names position 1 an optical drive

    // Data bytes sent before the end block; unset: the Size parameter in megabytes (at most 500).
    std::optional<std::uint64_t> data_bytes;
    std::uint32_t block_size = 2048;  // payload bytes of a full data block
    // Non-zero: a block of this type, without payload, before every data block.
    std::uint32_t other_type = 0;
    bool send_end = true;  // false: the connection closes after the last data block

    BackupBreak break_kind = BackupBreak::None;
    std::size_t break_block = 0;
    std::uint32_t oversize_length = 64 * 1024;

    // Headers and payloads in separate writes with this pause between them (0: one write per
    // block), so that the peer sees them arrive in pieces.
    std::chrono::milliseconds piece_pause{0};
    std::chrono::milliseconds block_pause{0};  // between blocks, to keep a download running
};

// Data byte `offset` of every backup: a pattern that repeats only every 251 × 256 bytes, so a
// lost, repeated or reordered block shows in a byte-for-byte comparison.
std::uint8_t BackupDataByte(std::uint64_t offset);
// The first `count` data bytes of a backup.
std::string BackupData(std::uint64_t count);

Reply GetDvrHdd(DeviceCore& core, const RecordedRequest& request);
// Sends the backup blocks of one "/NetworkBk.cgi" request.
void RunNetworkBackup(DeviceCore& core, Connection& connection, const RecordedRequest& request);

}  // namespace device_emulator
