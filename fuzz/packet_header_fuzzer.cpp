// The packet header in front of every live frame, and the alarm state it moves.

#include <endian.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "video/stream_packet_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program::Get();  // the parser reads the device type from the state object
    static PacketHeaderParser parser;
    while (size >= StreamPacketHeader::kBitmapSize) {
        std::uint32_t presence = 0;
        std::memcpy(&presence, data, sizeof presence);
        const std::size_t length = StreamPacketHeader::Length(le32toh(presence));
        if (length > StreamPacketHeader::kMaxLength) {
            std::abort();
        }
        if (length > size) {
            break;
        }
        std::uint32_t parsed = 0;
        PacketInfo info;
        parser.Parse(data, &parsed, &info);
        if (parsed != length) {
            std::abort();
        }
        HUText(info);
        parser.ClearAlarmFlag();
        data += length;
        size -= length;
    }
    if (size >= 4) {
        IsJpegFrame(data, size);
    }
    return 0;
}
