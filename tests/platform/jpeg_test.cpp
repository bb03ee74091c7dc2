#include "platform/jpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// A bottom-up picture: blue follows the column, green the row counted from the top.
std::vector<std::uint8_t> Gradient(int width, int height) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px =
                p.data() + (static_cast<std::size_t>(height - 1 - y) * width + x) * 3;
            px[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            px[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
            px[2] = 90;
        }
    }
    return p;
}

// Offset of the height field of the start-of-frame segment.
std::size_t FrameSizeOffset(const std::vector<std::uint8_t>& jpeg) {
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            return i + 5;
        }
    }
    return 0;
}

class Jpeg : public ::testing::Test {
protected:
    const std::vector<std::uint8_t> picture = Gradient(64, 32);
    const std::vector<std::uint8_t> jpeg = platform::EncodeBottomUpBgr(picture.data(), 64, 32, 95);
    platform::JpegDecoder decoder;
    std::vector<std::uint8_t> out = std::vector<std::uint8_t>(64 * 32 * 3);
    platform::JpegHeader header;
};

TEST_F(Jpeg, RoundTripKeepsBottomUpBlueGreenRed) {
    ASSERT_FALSE(jpeg.empty());
    ASSERT_TRUE(
        decoder.DecodeBottomUpBgr(jpeg.data(), jpeg.size(), out.data(), out.size(), &header));
    EXPECT_EQ(header.width, 64);
    EXPECT_EQ(header.height, 32);
    int worst = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        worst = std::max(worst, std::abs(out[i] - picture[i]));
    }
    EXPECT_LE(worst, 24);
}

TEST_F(Jpeg, DamagedOrOversizeFramesAreRefused) {
    // Too small a destination: refused before anything is written.
    std::vector<std::uint8_t> small(64 * 32 * 3 - 1, 0xAB);
    EXPECT_FALSE(
        decoder.DecodeBottomUpBgr(jpeg.data(), jpeg.size(), small.data(), small.size(), &header));
    EXPECT_EQ(header.width, 64);
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](std::uint8_t b) { return b == 0xAB; }));

    std::vector<std::uint8_t> truncated(jpeg.begin(),
                                        jpeg.begin() + static_cast<long>(jpeg.size() / 2));
    EXPECT_FALSE(decoder.DecodeBottomUpBgr(truncated.data(), truncated.size(), out.data(),
                                           out.size(), &header));

    std::vector<std::uint8_t> noisy = jpeg;
    for (std::size_t i = noisy.size() / 3; i < noisy.size() * 2 / 3; ++i) {
        noisy[i] = static_cast<std::uint8_t>(i * 131);
    }
    EXPECT_FALSE(
        decoder.DecodeBottomUpBgr(noisy.data(), noisy.size(), out.data(), out.size(), &header));

    // A header claiming 60,000 x 60,000 is refused from the header alone.
    std::vector<std::uint8_t> huge = jpeg;
    const std::size_t at = FrameSizeOffset(huge);
    ASSERT_NE(at, 0u);
    for (std::size_t i : {at, at + 2}) {
        huge[i] = 0xEA;
        huge[i + 1] = 0x60;
    }
    EXPECT_FALSE(decoder.ReadHeader(huge.data(), huge.size(), &header));
    EXPECT_FALSE(decoder.ReadHeader(jpeg.data(), 3, &header));

    // The decoder keeps working after the failures.
    EXPECT_TRUE(
        decoder.DecodeBottomUpBgr(jpeg.data(), jpeg.size(), out.data(), out.size(), &header));
}

// A frame cut anywhere, down to the first segment's length field, must leave the decoder able to
// decode the next intact frame.
TEST_F(Jpeg, EveryCutFrameIsRefusedAndTheNextIntactFrameDecodes) {
    const std::vector<std::uint8_t> cutAfterTables = {0xFF, 0xD8, 0xFF, 0xDB, 0x00};
    std::vector<std::vector<std::uint8_t>> damaged = {cutAfterTables};
    for (std::size_t length = 1; length < jpeg.size(); ++length) {
        damaged.emplace_back(jpeg.begin(), jpeg.begin() + static_cast<long>(length));
    }
    int refusedIntact = 0;
    for (const auto& frame : damaged) {
        decoder.DecodeBottomUpBgr(frame.data(), frame.size(), out.data(), out.size(), &header);
        refusedIntact +=
            !decoder.DecodeBottomUpBgr(jpeg.data(), jpeg.size(), out.data(), out.size(), &header);
    }
    EXPECT_EQ(refusedIntact, 0) << "of " << damaged.size() << " cut frames";
}

}  // namespace
