#include "video/stream_step.h"

#include <algorithm>
#include <cstring>

namespace StreamStep {

namespace {

namespace H = StreamPacketHeader;

enum class Walk { Picture, NoPicture, NeedMore };

struct WalkResult {
    Walk walk;
    std::size_t need = 0;
};

std::uint32_t Presence(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Whether the bytes hold a packet that carries a picture: at most a few headers without a frame,
// then a header whose frame begins as a picture does.
WalkResult WalkToPicture(const std::uint8_t* bytes, std::size_t available) {
    std::size_t at = 0;
    for (std::size_t header = 0; header < kMostHeadersBeforePicture; ++header) {
        if (available < at + H::kBitmapSize) {
            return {Walk::NeedMore, at + H::kBitmapSize};
        }
        const std::size_t length = H::Length(Presence(bytes + at));
        if (available < at + length) {
            return {Walk::NeedMore, at + length};
        }
        const std::uint32_t payload = H::PayloadLength(bytes + at);
        at += length;
        if (payload == 0) {
            continue;
        }
        if (payload > H::kLargestFrameLength || payload < kPictureStart.size()) {
            return {Walk::NoPicture};
        }
        if (available < at + kPictureStart.size()) {
            return {Walk::NeedMore, at + kPictureStart.size()};
        }
        return {std::equal(kPictureStart.begin(), kPictureStart.end(), bytes + at)
                    ? Walk::Picture
                    : Walk::NoPicture};
    }
    return {Walk::NoPicture};
}

constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kStartOfScan = 0xDA;

bool Standalone(std::uint8_t code) {
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

}  // namespace

Judgement JudgeHeader(const std::uint8_t* bytes, std::size_t available) {
    if (available < H::kBitmapSize) {
        return {H::kBitmapSize};
    }
    const std::uint32_t presence = Presence(bytes);
    const std::size_t length = H::Length(presence);
    if (available < length) {
        return {length};
    }
    const std::uint32_t payload = H::PayloadLength(bytes);
    if (payload > H::kLargestFrameLength) {
        return {length, "a payload length beyond any frame"};
    }
    // Only a device's picture is that long: a length so long with anything else behind it would
    // skip seconds of the stream before the next header showed the step lost.
    if (payload > H::kLargestHeldFrame) {
        if (available < length + kPictureStart.size()) {
            return {length + kPictureStart.size()};
        }
        if (!std::equal(kPictureStart.begin(), kPictureStart.end(), bytes + length)) {
            return {length + kPictureStart.size(),
                    "a payload length longer than any frame but a picture, with no picture "
                    "behind it"};
        }
    }
    if ((presence & H::kUnusedBits) == 0) {
        return {length};
    }
    // A device may set bits that carry nothing; bytes of a picture read as a header set them
    // too, but then no picture follows.
    const WalkResult walk = WalkToPicture(bytes, available);
    switch (walk.walk) {
        case Walk::NeedMore:
            return {walk.need};
        case Walk::NoPicture:
            return {available, "presence bits 11 to 31 set with no picture behind the header"};
        case Walk::Picture:
            break;
    }
    return {length};
}

void PictureEnd::OnMarker(std::uint8_t code) {
    if (code == 0xFF) {
        m_state = State::MarkerCode;  // fill bytes before a marker
    } else if (code == kEndOfImage) {
        m_state = State::Ended;
    } else if (code == kStartOfImage || code == 0x00) {
        m_state = State::Lost;
    } else if (Standalone(code)) {
        m_state = State::Marker;
    } else {
        m_marker = code;
        m_state = State::LengthHigh;
    }
}

void PictureEnd::SegmentPassed() {
    m_state = m_marker == kStartOfScan ? State::Entropy : State::Marker;
}

std::size_t PictureEnd::Feed(const std::uint8_t* bytes, std::size_t count) {
    std::size_t i = 0;
    while (i < count) {
        switch (m_state) {
            case State::Start:
                m_state = bytes[i++] == 0xFF ? State::StartCode : State::Lost;
                break;
            case State::StartCode:
                m_state = bytes[i++] == kStartOfImage ? State::Marker : State::Lost;
                break;
            case State::Marker:
                m_state = bytes[i++] == 0xFF ? State::MarkerCode : State::Lost;
                break;
            case State::MarkerCode:
                OnMarker(bytes[i++]);
                break;
            case State::LengthHigh:
                m_left = static_cast<std::size_t>(bytes[i++]) << 8;
                m_state = State::LengthLow;
                break;
            case State::LengthLow:
                m_left |= bytes[i++];
                if (m_left < 2) {
                    m_state = State::Lost;
                } else if ((m_left -= 2) == 0) {
                    SegmentPassed();
                } else {
                    m_state = State::Segment;
                }
                break;
            case State::Segment: {
                const std::size_t passed = std::min(m_left, count - i);
                i += passed;
                if ((m_left -= passed) == 0) {
                    SegmentPassed();
                }
                break;
            }
            case State::Entropy: {
                const void* marker = std::memchr(bytes + i, 0xFF, count - i);
                if (marker == nullptr) {
                    i = count;
                } else {
                    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(marker) - bytes) +
                        1;
                    m_state = State::EntropyMarker;
                }
                break;
            }
            case State::EntropyMarker: {
                // Inside the scan a marker byte is followed by a stuffed zero, a restart code or
                // fill; anything else is a marker of its own.
                const std::uint8_t code = bytes[i++];
                if (code == 0x00 || Standalone(code)) {
                    m_state = State::Entropy;
                } else if (code != 0xFF) {
                    OnMarker(code);
                }
                break;
            }
            case State::Ended:
            case State::Lost:
                return i;
        }
    }
    return i;
}

bool FrameCheck::Take(const std::uint8_t* bytes, std::size_t count) {
    if (m_phase == Phase::Following) {
        const std::size_t picture = m_end.Feed(bytes, count);
        m_taken += picture;
        bytes += picture;
        count -= picture;
        if (m_end.Ended()) {
            m_pictureLength = m_taken;
            m_phase = m_taken < m_length ? Phase::Behind : Phase::Done;
        } else if (m_end.Lost()) {
            m_phase = Phase::Done;
        }
    }
    if (m_phase != Phase::Behind || count == 0) {
        return m_phase != Phase::Lied;
    }
    const std::size_t copied = std::min(count, m_behind.size() - m_behindCount);
    std::memcpy(m_behind.data() + m_behindCount, bytes, copied);
    m_behindCount += copied;
    const WalkResult walk = WalkToPicture(m_behind.data(), m_behindCount);
    if (walk.walk == Walk::Picture) {
        m_phase = Phase::Lied;
    } else if (walk.walk == Walk::NoPicture || walk.need > m_length - m_pictureLength) {
        // Padding behind the picture, or too little of the frame left to hold a packet: the
        // length may be true, and the next header is judged where it says.
        m_phase = Phase::Done;
    }
    return m_phase != Phase::Lied;
}

}  // namespace StreamStep
