#pragma once

// When the live stream is read out of step with its packets. A sound device may set a presence
// bit that carries nothing, send a frame larger than this program shows, or pad a frame behind
// its picture; none of that is evidence. What a stream in step cannot hold is judged here, and
// only that: a length beyond any frame (or beyond the frames held here with no picture behind
// it), spare presence bits with no picture behind the header, and a frame whose picture ends
// short of its length with the next packet right behind it (the length lied, and trusting it
// would skip the packets it swallowed).

#include <array>
#include <cstddef>
#include <cstdint>

#include "video/stream_packet_header.h"

namespace StreamStep {

// The first bytes of a picture: the start-of-image marker and the next marker's first byte.
inline constexpr std::array<std::uint8_t, 3> kPictureStart = {0xFF, 0xD8, 0xFF};
// Headers without a frame that may stand in front of a picture's packet.
inline constexpr std::size_t kMostHeadersBeforePicture = 4;
// The most bytes a judgement reads from the start of a packet.
inline constexpr std::size_t kMostNeeded =
    kMostHeadersBeforePicture * StreamPacketHeader::kMaxLength + kPictureStart.size();

// The verdict on the header at the start of some received bytes.
struct Judgement {
    // Bytes from the header's first byte that the verdict needs (at most kMostNeeded): when more
    // than were given, the caller receives that many and asks again.
    std::size_t need = 0;
    // Why the stream is out of step; null when the header may be in step.
    const char* outOfStep = nullptr;
};

// The rule for every header the stream brings, before anything in it is acted on.
Judgement JudgeHeader(const std::uint8_t* bytes, std::size_t available);

// Follows the structure of a JPEG as its bytes arrive, to find where the picture ends: the end
// marker outside every segment, not a byte pair inside a table or a thumbnail.
class PictureEnd {
public:
    // Takes the next bytes; returns how many belong to the picture (all of them until the end
    // marker has passed).
    std::size_t Feed(const std::uint8_t* bytes, std::size_t count);
    bool Ended() const { return m_state == State::Ended; }
    // The bytes are not a JPEG's structure (or stopped being one): nothing more is looked for.
    bool Lost() const { return m_state == State::Lost; }

private:
    enum class State : std::uint8_t {
        Start,
        StartCode,
        Marker,
        MarkerCode,
        LengthHigh,
        LengthLow,
        Segment,
        Entropy,
        EntropyMarker,
        Ended,
        Lost,
    };
    void OnMarker(std::uint8_t code);
    void SegmentPassed();

    State m_state = State::Start;
    std::uint8_t m_marker = 0;
    std::size_t m_left = 0;
};

// Checks the frame of one packet as its bytes arrive, whether the frame is kept or skipped.
class FrameCheck {
public:
    explicit FrameCheck(std::uint32_t length) : m_length(length) {}

    // The frame's next `count` bytes. False once the length has proved a lie.
    bool Take(const std::uint8_t* bytes, std::size_t count);
    // Where the picture ended, from the frame's first byte; 0 while it has not.
    std::size_t PictureLength() const { return m_pictureLength; }

private:
    enum class Phase : std::uint8_t { Following, Behind, Done, Lied };

    std::uint32_t m_length;
    Phase m_phase = Phase::Following;
    PictureEnd m_end;
    std::size_t m_taken = 0;
    std::size_t m_pictureLength = 0;
    // The frame's bytes behind its picture, as far as a judgement reads them.
    std::array<std::uint8_t, kMostNeeded> m_behind{};
    std::size_t m_behindCount = 0;
};

}  // namespace StreamStep
