#pragma once

// The last twenty compressed frames of the live stream, each with its frame-information record.
// An alarm recording begins with what the ring still holds, and every recorder reads the newest
// frame from here. The compose thread writes the ring and the recorder threads read it; the
// recorders' semaphores (recorder_handover.h) keep the two apart.

#include <array>
#include <cstdint>
#include <memory>

#include "recording/record_bytes.h"

namespace recording {

inline constexpr std::uint16_t kPreAlarmSlotCount = 20;
// As large as a socket buffer (kernel_object.h), so every frame the stream delivers is recorded.
inline constexpr std::uint32_t kPreAlarmSlotSize = 524'288;
inline constexpr std::uint32_t kFrameInfoMagic = 0x01234567;
// The type the compose thread gives every frame it pushes: a complete JPEG picture.
inline constexpr std::uint32_t kJpegFrameType = 3;

// The record that travels with each frame; the schedule files keep it verbatim, so it has a fixed
// 56-byte layout.
struct PreAlarmFrameInfo {
    static constexpr std::size_t kSize = 56;

    std::uint32_t dwFrameNumber = 0;  // 0 in the ring; a recorder numbers its own copy
    std::uint32_t dwFrameSize = 0;
    std::uint32_t dwMagic = 0;
    std::uint8_t byte16 = 0;
    std::uint8_t byte17 = 0;
    std::uint8_t byChannel = 0;
    SystemTime stCaptureTime;  // day of the week and milliseconds stay 0
    std::uint32_t dwTimeStamp = 0;
    std::uint16_t wWidth = 0;
    std::uint16_t wHeight = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static PreAlarmFrameInfo Decode(const std::uint8_t* in);
    friend bool operator==(const PreAlarmFrameInfo&, const PreAlarmFrameInfo&) = default;
};

class CPreAlarmRing {
public:
    bool AllocateBuffer();
    bool FreeBuffer();
    bool Allocated() const { return m_lpFrameBuffer && m_lpFrameInfo && m_lpSpareTable; }

    // Stores a frame of at most kPreAlarmSlotSize bytes in slot m_wWriteIndex with its record and
    // type, and moves the index on. Returns the slot written.
    std::uint16_t Put(const std::uint8_t* frame, const PreAlarmFrameInfo& info,
                      std::uint32_t frameType);

    const std::uint8_t* Frame(std::uint16_t slot) const {
        return m_lpFrameBuffer.get() + std::size_t{slot} * kPreAlarmSlotSize;
    }
    PreAlarmFrameInfo Info(std::uint16_t slot) const;
    std::uint32_t FrameType(std::uint16_t slot) const;

    // The slot of the newest frame, and the slot `back` places before `slot`.
    std::uint16_t NewestSlot() const { return Before(m_wWriteIndex, 1); }
    static std::uint16_t Before(std::uint16_t slot, std::uint16_t back) {
        return static_cast<std::uint16_t>((slot + kPreAlarmSlotCount - back % kPreAlarmSlotCount) %
                                          kPreAlarmSlotCount);
    }

    std::unique_ptr<std::uint8_t[]> m_lpFrameBuffer;
    // Not reset between sessions: a new session goes on where the last one left the ring.
    std::uint16_t m_wWriteIndex = 0;
    std::unique_ptr<std::uint8_t[]> m_lpFrameInfo;
    // Per slot two u32 words; the second is the frame's type.
    std::unique_ptr<std::uint8_t[]> m_lpSpareTable;
};

}  // namespace recording
