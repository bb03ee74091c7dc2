#include "kernel/utilities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace {

TEST(FilterDigitInput, KeepsWhatEachModeAllows) {
    const struct {
        std::string text;
        std::uint8_t mode;
        std::string expected;
    } cases[] = {
        {"1a2-b 3", 1, "123"}, {"-12-3x", 0, "-123"},
        {"x-12", 0, "-12"},  // nothing kept before the minus sign yet
        {"1-2", 0, "12"},      {"123", 2, ""},
        {"", 1, ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(FilterDigitInput(&text, c.mode), 1u) << c.text;
        EXPECT_EQ(text, c.expected) << c.text;
    }
    std::string tooLong(256, '5');
    EXPECT_EQ(FilterDigitInput(&tooLong, 1), 0u);
    EXPECT_EQ(tooLong, std::string(256, '5'));
}

class DoubledPicture : public ::testing::Test {
protected:
    static constexpr std::uint32_t kWidth = 7;  // not a multiple of 8 bytes per row
    static constexpr std::uint32_t kHeight = 240;
    static constexpr std::size_t kRow = kWidth * 3;

    std::vector<std::uint8_t> Double(const std::vector<std::uint8_t>& src) {
        std::vector<std::uint8_t> dst(kRow * kHeight * 2, 0xEE);
        EXPECT_EQ(FilterImageMMX(src.data(), dst.data(), dst.size(), kWidth, kHeight, kWidth,
                                 kHeight * 2),
                  1u);
        return dst;
    }
    static const std::uint8_t* Row(const std::vector<std::uint8_t>& p, std::size_t r) {
        return p.data() + r * kRow;
    }
};

TEST_F(DoubledPicture, EdgeRowsAverageAndTheLastRepeats) {
    std::vector<std::uint8_t> src(kRow * kHeight);
    std::mt19937 random(7);
    for (auto& b : src) {
        b = static_cast<std::uint8_t>(random());
    }
    const auto dst = Double(src);
    for (std::size_t r = 0; r < 480; r += 2) {
        ASSERT_EQ(std::memcmp(Row(dst, r), Row(src, r / 2), kRow), 0) << r;
    }
    for (std::size_t r : {1u, 3u, 475u, 477u}) {
        for (std::size_t i = 0; i < kRow; ++i) {
            EXPECT_EQ(Row(dst, r)[i], (Row(src, r / 2)[i] + Row(src, r / 2 + 1)[i]) / 2) << r;
        }
    }
    EXPECT_EQ(std::memcmp(Row(dst, 479), Row(src, 239), kRow), 0);
}

TEST_F(DoubledPicture, MiddleRowsUseTheSixTapWeightsInUnsignedLanes) {
    std::vector<std::uint8_t> src(kRow * kHeight, 0);
    // Rows 8..13 around output row 2 * 10 + 1.
    const std::uint8_t values[6] = {10, 200, 100, 120, 250, 30};
    for (int k = 0; k < 6; ++k) {
        std::memset(src.data() + (8 + k) * kRow, values[k], kRow);
    }
    const auto dst = Double(src);
    // 64 * (100 + 120) + 8 * (10 + 30) = 14400; - 22 * 200 = 10000; - 22 * 250 = 4500; / 100.
    EXPECT_EQ(Row(dst, 21)[0], 45);
    // Row 2 * 9 + 1 mixes rows 7..12: 64 * (200 + 100) + 8 * (0 + 250) = 21200, - 220, - 2640.
    EXPECT_EQ(Row(dst, 19)[5], 183);
}

TEST_F(DoubledPicture, UniformGreyStaysAndNearBlackFloorsAtZero) {
    const auto grey = Double(std::vector<std::uint8_t>(kRow * kHeight, 128));
    EXPECT_TRUE(std::all_of(grey.begin(), grey.end(), [](std::uint8_t b) { return b == 128; }));

    std::vector<std::uint8_t> src(kRow * kHeight, 0);
    std::memset(src.data() + 9 * kRow, 40, kRow);   // s(k-1) for output row 21
    std::memset(src.data() + 12 * kRow, 40, kRow);  // s(k+2)
    const auto dst = Double(src);
    EXPECT_EQ(Row(dst, 21)[0], 0);
}

TEST(FilterImage, RefusesAnOutputThatDoesNotFit) {
    std::vector<std::uint8_t> src(720 * 576 * 3, 1);
    std::vector<std::uint8_t> dst(1'572'864, 0);
    EXPECT_EQ(FilterImageMMX(src.data(), dst.data(), dst.size(), 720, 576, 720, 1152), 0u);
    EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(FilterImageMMX(src.data(), dst.data(), dst.size(), 640, 240, 704, 480), 0u);
    EXPECT_EQ(FilterImageMMX(src.data(), dst.data(), dst.size(), 704, 288, 704, 576), 1u);
}

std::vector<std::string> Picture(const std::vector<std::uint8_t>& frame, int width, int height) {
    std::vector<std::string> rows;
    for (int y = height - 1; y >= 0; --y) {  // top row first
        std::string row;
        for (int x = 0; x < width; ++x) {
            row += frame[(y * width + x) * 3] ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(DrawFrameBox, DrawsTheCrossWithCornerBrackets) {
    constexpr int kSize = 21;
    std::vector<std::uint8_t> frame(kSize * kSize * 3, 0);
    DrawFrameBox(frame.data(), kSize, kSize, 0x0000FF, 10, 11);
    const std::vector<std::string> expected = {
        ".....................", ".....................", "..####...###...####..",
        "..#......###......#..", "..#......###......#..", "..#......###......#..",
        ".........###.........", ".........###.........", ".........###.........",
        "..#################..", "..#################..", "..#################..",
        ".........###.........", ".........###.........", ".........###.........",
        "..#......###......#..", "..#......###......#..", "..#......###......#..",
        "..####...###...####..", ".....................", ".....................",
    };
    EXPECT_EQ(Picture(frame, kSize, kSize), expected);
}

TEST(DrawFrameBox, ClipsAtTheFrameEdgeAndWritesColourBytesInOrder) {
    constexpr int kWidth = 12;
    constexpr int kHeight = 20;
    std::vector<std::uint8_t> frame(kWidth * kHeight * 3 + 64, 0);
    DrawFrameBox(frame.data(), kWidth, kHeight, 0x332211, 0, 10);
    for (std::size_t i = kWidth * kHeight * 3; i < frame.size(); ++i) {
        ASSERT_EQ(frame[i], 0);
    }
    const auto rows = Picture(frame, kWidth, kHeight);
    EXPECT_EQ(rows[9], "#########...");  // right half of the bar and the centre column
    EXPECT_EQ(rows[1], "##...####...");
    EXPECT_EQ(rows[2], "##......#...");
    const std::uint8_t* centre = frame.data() + (10 * kWidth + 0) * 3;
    EXPECT_EQ(centre[0], 0x11);
    EXPECT_EQ(centre[1], 0x22);
    EXPECT_EQ(centre[2], 0x33);
}

TEST(ByteHelpers, WorkedExamples) {
    std::uint8_t out[4];
    PutU32BigEndian(0x01020304, out);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    PutU32BigEndian(1, nullptr);
    std::uint32_t v = 0x11223344;
    SwapU32(&v);
    EXPECT_EQ(v, 0x44332211u);

    std::uint8_t jpeg[40] = {0xFF, 0xD8, 0xFF, 0xC0, 0, 17, 8};
    EXPECT_EQ(PatchJpegFrameSize(jpeg, sizeof jpeg, 704, 576), 1u);
    EXPECT_EQ(jpeg[7], 0x02);
    EXPECT_EQ(jpeg[8], 0x40);
    EXPECT_EQ(jpeg[9], 0x02);
    EXPECT_EQ(jpeg[10], 0xC0);
    std::uint8_t none[20] = {};
    EXPECT_EQ(PatchJpegFrameSize(none, sizeof none, 1, 1), 0u);

    const std::uint16_t words[] = {0x0001, 0xF203, 0xF4F5, 0xF6F7};
    EXPECT_EQ(Checksum16(words, 8), 0x0D22);
    EXPECT_EQ(SumWords16(words, 2, 1), static_cast<std::uint16_t>(~0xF203));

    const std::uint8_t text[] = "abcabd";
    EXPECT_EQ(FindStringInBuffer(text, reinterpret_cast<const std::uint8_t*>("abd"), 6, 3), 0);
    EXPECT_EQ(FindStringInBuffer(text, reinterpret_cast<const std::uint8_t*>("cab"), 6, 3), 2);
    const std::uint8_t bytes[] = {1, 0xFE, 0xFF, 3};
    EXPECT_EQ(CountBytesBelowFF(bytes, 4), 2);
}

TEST(TextHelpers, ExtractValueStaysInsideItsOutput) {
    char out[6];
    EXPECT_EQ(ExtractValueAfterKey("A=1;LIFETIME=12345678;", out, sizeof out, "LIFETIME=", ';'),
              21);
    EXPECT_STREQ(out, "12345");
    EXPECT_EQ(ExtractValueAfterKey("A=1", out, sizeof out, "B=", ';'), -1);
}

TEST(TextHelpers, VersionComparisons) {
    EXPECT_EQ(CompareVersionText("1.2.3.4", "1.2.4.0"), 1);
    EXPECT_EQ(CompareVersionText("1.3.0.0", "1.2.9.9"), 2);
    EXPECT_EQ(CompareVersionText("1.2.3.4", "1.2.3.4"), 0);
    EXPECT_EQ(CompareVersionText("1.2.3", "1.2.3.4"), -1);

    std::uint32_t length = 0;
    const std::string newer = "ORVANE;1236;Kelmar;rest";
    EXPECT_EQ(FirmwareHeaderCheck(newer.c_str(), newer.size(), "1.2.3.5", &length), 0);
    EXPECT_EQ(length, 19u);
    const std::string same = "ORVANE;1235;Kelmar;";
    EXPECT_EQ(FirmwareHeaderCheck(same.c_str(), same.size(), "1.2.3.5", &length), -2);
    const std::string foreign = "OTHER;9999;Kelmar;";
    EXPECT_EQ(FirmwareHeaderCheck(foreign.c_str(), foreign.size(), "1.2.3.5", &length), -1);
}

TEST(TextHelpers, MaskBeforeOnlineUserNum) {
    std::uint8_t buffer[32] = {'x', 0, 'o', 'n', '?', 'l'};
    std::memcpy(buffer + 6, "ine-user-num:5", 14);
    MaskBeforeOnlineUserNum(buffer, sizeof buffer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 20), "00on0line-user-num:5");
}

}  // namespace
