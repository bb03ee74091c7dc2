#pragma once

// The header in front of every frame of the live stream: a little-endian 32-bit presence bitmap,
// then the fields of the set bits 0 to 10 in bit order. Bits 11 to 31 carry nothing.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "kernel/kernel_object.h"
#include "kernel/packet_info.h"

namespace StreamPacketHeader {

inline constexpr std::uint32_t kPayloadLength = 1u << 0;
inline constexpr std::uint32_t kHUText = 1u << 1;
inline constexpr std::uint32_t kRetrState = 1u << 2;
inline constexpr std::uint32_t kBit3Byte = 1u << 3;
inline constexpr std::uint32_t kBit4Byte = 1u << 4;
inline constexpr std::uint32_t kTimeStamp = 1u << 5;
inline constexpr std::uint32_t kBit6Byte = 1u << 6;
inline constexpr std::uint32_t kAlarm1 = 1u << 7;
inline constexpr std::uint32_t kAlarm2 = 1u << 8;
inline constexpr std::uint32_t kAlarm3 = 1u << 9;
inline constexpr std::uint32_t kBackupNotice = 1u << 10;

// Bytes of the field of each presence bit.
inline constexpr std::array<std::size_t, 11> kFieldSizes = {4, 16, 2, 1, 1, 4, 1, 2, 2, 2, 0};
inline constexpr std::size_t kBitmapSize = 4;
inline constexpr std::size_t kMaxLength = 39;
// Bits that carry nothing and are read past.
inline constexpr std::uint32_t kUnusedBits = ~0u << kFieldSizes.size();
// The frames this client holds are at most its picture buffer; a device may send longer ones,
// which are skipped whole. A picture of 16 megapixels at the highest quality stays within the
// longest frame taken as a device's: a longer payload length is not a frame's.
inline constexpr std::uint32_t kLargestHeldFrame = kImageSlotSize;
inline constexpr std::uint32_t kLargestFrameLength = 16 * 1024 * 1024;

// Header length for a presence bitmap: 4 plus the sizes of the present fields.
std::size_t Length(std::uint32_t presence);

// The payload length of a whole header (bit 0's field), read without acting on anything; 0 when
// the header carries none.
std::uint32_t PayloadLength(const std::uint8_t* header);

}  // namespace StreamPacketHeader

// The start of the frames this program shows: a JPEG whose first segment is a quantisation table.
inline constexpr std::array<std::uint8_t, 4> kJpegFrameStart = {0xFF, 0xD8, 0xFF, 0xDB};

// 1 when the frame begins with kJpegFrameStart; the caller guarantees four bytes.
std::uint32_t IsJpegFrame(const std::uint8_t* bytes, std::size_t length);

// The packet text of a record, which fills its 16 bytes without a terminating zero when it is
// that long.
std::string HUText(const PacketInfo& info);

// Reads stream packet headers on the receive thread, keeps the stream's alarm state and acts on
// its edges for a device of type 19: the alarm sound through the main window's message, the alarm
// recorder through the recording link.
class PacketHeaderParser {
public:
    static constexpr std::uint32_t kAlarmKind1 = 0x80;
    static constexpr std::uint32_t kAlarmKind2 = 0x100;
    static constexpr std::uint32_t kAlarmKind3 = 0x200;
    static constexpr const char* kBackupNoticeText = "Network backup,stop video!!";

    // Parses a whole header (StreamPacketHeader::Length of its bitmap bytes at `header`) into
    // `info` and the parser's current record; stores its length. Returns 1.
    std::uint32_t Parse(const std::uint8_t* header, std::uint32_t* headerLength, PacketInfo* info);

    // 1 when an alarm word was kept (and clears it), else 0.
    std::uint32_t ClearAlarmFlag();

    // The last alarm word received; read by the painter, cleared by the recorders.
    std::atomic<std::uint16_t> m_wAlarmData{0};
    // Which alarm word the last header carried: 0 or one of the kinds.
    std::atomic<std::uint32_t> m_dwAlarmKind{0};

    // The record of the current packet, and its text, for other threads.
    PacketInfo CurrentPacket() const;
    std::string CurrentHUText() const;

private:
    mutable std::mutex m_mutex;
    PacketInfo m_PacketInfo;
};
