#include "video/stream_step.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_picture.h"

namespace {

namespace H = StreamPacketHeader;
using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A header of `presence` whose fields are zero but the payload length.
Bytes Header(std::uint32_t presence, std::uint32_t payload = 0) {
    Bytes out(H::Length(presence), 0);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(presence >> (8 * i));
        if (presence & H::kPayloadLength) {
            out[4 + i] = static_cast<std::uint8_t>(payload >> (8 * i));
        }
    }
    return out;
}

Bytes Picture() {
    device_emulator::TestPicture picture;
    const std::string jpeg = picture.Encode(3, {64, 48}, 75);
    return Bytes(jpeg.begin(), jpeg.end());
}

// The picture as an encoder that writes JFIF and a thumbnail writes it: behind the start of image
// an APP0 segment and an APP1 segment holding a little JPEG, end marker and all.
Bytes JfifPictureWithThumbnail() {
    const Bytes picture = Picture();
    const Bytes app0 = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    const Bytes thumbnail = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x03, 0x01, 0xFF, 0xD9};
    Bytes app1 = {0xFF, 0xE1, 0x00, static_cast<std::uint8_t>(2 + thumbnail.size())};
    return Bytes(picture.begin(), picture.begin() + 2) + app0 + app1 + thumbnail +
           Bytes(picture.begin() + 2, picture.end());
}

const Bytes kJpegStart = {0xFF, 0xD8, 0xFF, 0xDB};
const Bytes kJfifStart = {0xFF, 0xD8, 0xFF, 0xE0};
constexpr std::uint32_t kFrame = H::kPayloadLength | H::kTimeStamp;

struct HeaderCase {
    const char* name;
    Bytes bytes;
    bool inStep;
};

// What sound devices send plays; only what a stream in step cannot hold is refused.
TEST(StreamStep, HeadersOfSoundDevicesPlayAndOnlyWhatNoStreamInStepHoldsIsRefused) {
    const HeaderCase cases[] = {
        {"a frame", Header(kFrame, 5'000) + kJpegStart, true},
        {"a header without a frame", Header(0) + Bytes(8, 0), true},
        {"spare bit 11 with a picture behind", Header(kFrame | 1u << 11, 5'000) + kJpegStart, true},
        {"every spare bit with a JFIF picture behind",
         Header(kFrame | H::kUnusedBits, 5'000) + kJfifStart, true},
        {"a spare bit on a header without a frame, a packet behind",
         Header(1u << 20) + Header(kFrame | 1u << 20, 5'000) + kJpegStart, true},
        {"a big real frame", Header(kFrame, 0x100000) + kJpegStart, true},
        {"a picture over the frames held", Header(kFrame, H::kLargestHeldFrame + 1) + kJfifStart,
         true},
        {"the largest frame", Header(kFrame, H::kLargestFrameLength) + kJpegStart, true},
        {"a frame that is not a picture", Header(kFrame, 100) + Bytes{0, 1, 2, 3}, true},
        {"the largest frame held that is not a picture",
         Header(kFrame, H::kLargestHeldFrame) + Bytes{0, 1, 2, 3}, true},
        {"no picture behind a length over the frames held",
         Header(kFrame, H::kLargestHeldFrame + 1) + Bytes{0xFF, 0xD8, 0x00, 0x11}, false},
        {"a length beyond any frame", Header(kFrame, H::kLargestFrameLength + 1) + kJpegStart,
         false},
        {"the longest length", Header(kFrame, 0xFFFFFFFF) + kJpegStart, false},
        {"a spare bit with no picture behind",
         Header(kFrame | 1u << 11, 5'000) + Bytes{0x00, 0x11, 0x22}, false},
        {"a spare bit with a frame too short for a picture",
         Header(kFrame | 1u << 11, 2) + kJpegStart, false},
        {"a spare bit and only headers without frames behind",
         Header(1u << 11) + Header(0) + Header(0) + Header(0) + Header(0) + Bytes(8, 0), false},
        {"a picture read as a header", Picture(), false},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const StreamStep::Judgement whole = StreamStep::JudgeHeader(c.bytes.data(), c.bytes.size());
        ASSERT_LE(whole.need, c.bytes.size());
        EXPECT_EQ(whole.outOfStep == nullptr, c.inStep);
        // As the bytes trickle in, each verdict asks for more or is the final one.
        for (std::size_t available = 0; available < c.bytes.size(); ++available) {
            const StreamStep::Judgement part = StreamStep::JudgeHeader(c.bytes.data(), available);
            ASSERT_LE(part.need, StreamStep::kMostNeeded);
            if (part.need <= available) {
                EXPECT_EQ(part.outOfStep == nullptr, c.inStep) << available << " bytes";
                break;
            }
        }
    }
}

// Bytes fed a few at a time or all at once; returns how many belonged to the picture.
std::size_t FeedInPieces(StreamStep::PictureEnd& end, const Bytes& bytes, std::size_t piece) {
    std::size_t taken = 0;
    for (std::size_t at = 0; at < bytes.size() && !end.Ended() && !end.Lost(); at += piece) {
        taken += end.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    return taken;
}

TEST(PictureEnd, IsTheEndMarkerOutsideEverySegment) {
    const Bytes picture = Picture();
    const Bytes jfif = JfifPictureWithThumbnail();
    // A quantisation value of 0xFF beside one of 0xD9 is a table's, not the end.
    Bytes table = picture;
    ASSERT_EQ(table[3], 0xDB);
    table[7] = 0xFF;
    table[8] = 0xD9;
    struct Case {
        const char* name;
        Bytes bytes;
        std::size_t end;  // 0: no end is found
    };
    const Case cases[] = {
        {"a picture", picture, picture.size()},
        {"a picture with padding behind", picture + Bytes(100, 0), picture.size()},
        {"JFIF with a thumbnail", jfif, jfif.size()},
        {"an end marker pair in a table", table, table.size()},
        {"no picture", Bytes{0x00, 0xFF, 0xD9, 0x00}, 0},
        {"a picture cut short", Bytes(picture.begin(), picture.end() - 2), 0},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, c.bytes.size()}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            StreamStep::PictureEnd end;
            const std::size_t taken = FeedInPieces(end, c.bytes, piece);
            EXPECT_EQ(end.Ended(), c.end != 0);
            if (c.end != 0) {
                EXPECT_EQ(taken, c.end);
            }
        }
    }
}

// A length that runs on past its picture is a lie only when the next packet starts right behind
// the picture; padding and frames that are not pictures are taken at their word.
TEST(FrameCheck, ALengthLiesOnlyWhenTheNextPacketFollowsThePicture) {
    const Bytes picture = Picture();
    const Bytes jfif = JfifPictureWithThumbnail();
    const Bytes next = Header(kFrame, 5'000) + kJpegStart;
    const auto size = [](const Bytes& b) { return static_cast<std::uint32_t>(b.size()); };
    struct Case {
        const char* name;
        Bytes bytes;  // the bytes from the frame's first on
        std::uint32_t length;
        std::size_t lieAt;  // where the picture ends when the length lies, else 0
    };
    const Case cases[] = {
        {"a picture", picture, size(picture), 0},
        {"a picture with zero padding", picture + Bytes(1'000, 0), size(picture) + 1'000, 0},
        {"a padded picture, then the next packet", picture + Bytes(64, 0) + next,
         size(picture) + 64, 0},
        {"a lie over the socket buffer", picture + next, 0x100000, picture.size()},
        {"a lie within the socket buffer", picture + next, size(picture) + 5'000, picture.size()},
        {"a lie behind a JFIF picture", jfif + next, 0x17FFFF, jfif.size()},
        {"a lie behind a packet without a frame", picture + Header(0) + next, 0x80001,
         picture.size()},
        {"too little left for a packet", picture + next, size(picture) + 10, 0},
        {"no picture", Bytes(200, 0x11) + next, 0x100000, 0},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{13}, std::size_t{1'400}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            StreamStep::FrameCheck check(c.length);
            bool inStep = true;
            const std::size_t frame = std::min<std::size_t>(c.bytes.size(), c.length);
            for (std::size_t at = 0; at < frame && inStep; at += piece) {
                inStep = check.Take(c.bytes.data() + at, std::min(piece, frame - at));
            }
            EXPECT_EQ(inStep, c.lieAt == 0);
            if (c.lieAt != 0) {
                EXPECT_EQ(check.PictureLength(), c.lieAt);
            }
        }
    }
}

}  // namespace
