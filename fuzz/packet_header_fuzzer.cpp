// The packet header in front of every live frame, the alarm state it moves, and the rule for the
// stream's step: the verdict on the header at the input's start as its bytes arrive, and the check
// of the frame behind it.

#include <endian.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "video/stream_packet_header.h"
#include "video/stream_step.h"

namespace {

void JudgeStep(const std::uint8_t* data, std::size_t size) {
    // Each verdict as the bytes trickle in asks for more, within its bound, or is the last one.
    StreamStep::Judgement whole = StreamStep::JudgeHeader(data, size);
    for (std::size_t available = 0; available <= size; ++available) {
        const StreamStep::Judgement part = StreamStep::JudgeHeader(data, available);
        if (part.need > StreamStep::kMostNeeded) {
            std::abort();
        }
        if (part.need <= available) {
            if ((part.outOfStep == nullptr) != (whole.outOfStep == nullptr)) {
                std::abort();
            }
            break;
        }
    }
    if (whole.need > size || size < StreamPacketHeader::kBitmapSize) {
        return;
    }
    // The frame behind the header, taken in pieces of the length its first byte names.
    std::uint32_t presence = 0;
    std::memcpy(&presence, data, sizeof presence);
    const std::size_t header = StreamPacketHeader::Length(le32toh(presence));
    if (header >= size) {
        return;
    }
    const std::uint32_t length = StreamPacketHeader::PayloadLength(data);
    StreamStep::FrameCheck check(length);
    const std::size_t piece = 1 + data[header] % 64;
    const std::size_t frame = std::min<std::size_t>(size - header, length);
    for (std::size_t at = 0; at < frame; at += piece) {
        if (!check.Take(data + header + at, std::min(piece, frame - at))) {
            if (check.PictureLength() == 0 || check.PictureLength() >= length) {
                std::abort();
            }
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program::Get();  // the parser reads the device type from the state object
    static PacketHeaderParser parser;
    JudgeStep(data, size);
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
