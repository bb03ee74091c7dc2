#include "config/motion_area.h"

#include <gtest/gtest.h>

#include "config/channel_sections.h"

namespace {

using config::MotionAreaMask;
using config::Still;

struct Bgr {
    std::uint8_t b, g, r;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};

// Pixel (x, y), y counted from the top, of a bottom-up picture.
Bgr PixelAt(const Still& s, int x, int y) {
    const std::uint8_t* p = &s.pixels[((s.height - 1 - y) * s.width + x) * 3];
    return {p[0], p[1], p[2]};
}

Still Uniform(std::uint16_t width, std::uint16_t height, Bgr colour) {
    Still s{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        s.pixels.insert(s.pixels.end(), {colour.b, colour.g, colour.r});
    }
    return s;
}

// Every pixel tells where it came from: blue and green its column, red its row.
std::vector<std::uint8_t> NumberedFrame(int width, int height) {
    std::vector<std::uint8_t> frame;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            frame.insert(frame.end(),
                         {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8),
                          static_cast<std::uint8_t>(row)});
        }
    }
    return frame;
}

TEST(MotionAreaMaskTest, CellsMapToTheDevicesBits) {
    const struct {
        int cell;
        std::size_t byte;
        std::uint8_t bit;
    } cases[] = {{0, 1, 0x01},  {7, 1, 0x80},  {8, 0, 0x01},
                 {15, 0, 0x80}, {16, 3, 0x01}, {191, 22, 0x80}};
    for (const auto& c : cases) {
        MotionAreaMask mask{};
        config::SetCell(mask, c.cell, true);
        MotionAreaMask expected{};
        expected[c.byte] = c.bit;
        EXPECT_EQ(mask, expected) << c.cell;
        EXPECT_TRUE(config::IsCellSet(mask, c.cell));
        config::ToggleCell(mask, c.cell);
        EXPECT_FALSE(config::AnyCellSet(mask)) << c.cell;
    }
    MotionAreaMask mask{};
    config::SetCell(mask, 192, true);
    config::SetCell(mask, -1, true);
    EXPECT_FALSE(config::AnyCellSet(mask));
}

TEST(MotionAreaStillTest, WideFramesAreHalvedToThreeHundredTwentyAcross) {
    const struct {
        std::uint16_t width, height, stillWidth, stillHeight;
    } cases[] = {
        {704, 576, 320, 288}, {640, 228, 320, 114}, {320, 240, 320, 240}, {176, 112, 176, 112}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> frame = NumberedFrame(c.width, c.height);
        Still still;
        ASSERT_TRUE(config::TakeStill(frame.data(), c.width, c.height, frame.size(), still));
        EXPECT_EQ(still.width, c.stillWidth);
        EXPECT_EQ(still.height, c.stillHeight);
        ASSERT_EQ(still.pixels.size(), std::size_t{c.stillWidth} * c.stillHeight * 3);
        const int step = c.width > 320 ? 2 : 1;
        for (const auto& [x, row] :
             {std::pair{0, 0}, {c.stillWidth - 1, c.stillHeight - 1}, {100, c.stillHeight / 2}}) {
            const std::uint8_t* p = &still.pixels[(row * c.stillWidth + x) * 3];
            EXPECT_EQ(p[0] | p[1] << 8, x * step) << c.width << " x " << x;
            EXPECT_EQ(p[2], static_cast<std::uint8_t>(row * step)) << c.width << " row " << row;
        }
    }
}

TEST(MotionAreaStillTest, PartRowsAreBlackAndBadFramesAreRefused) {
    // 400 pixels halve to 200; the rest of the 320-pixel row has no picture.
    const std::vector<std::uint8_t> frame(400 * 100 * 3, 0xAB);
    Still still;
    ASSERT_TRUE(config::TakeStill(frame.data(), 400, 100, frame.size(), still));
    EXPECT_EQ(still.pixels[199 * 3], 0xAB);
    EXPECT_EQ(still.pixels[200 * 3], 0);

    Still kept = config::BlankStill(4, 4);
    EXPECT_FALSE(config::TakeStill(nullptr, 320, 240, frame.size(), kept));
    EXPECT_FALSE(config::TakeStill(frame.data(), 0, 240, frame.size(), kept));
    EXPECT_FALSE(config::TakeStill(frame.data(), 400, 1, frame.size(), kept));
    EXPECT_FALSE(config::TakeStill(frame.data(), 400, 101, frame.size(), kept));  // too big
    EXPECT_EQ(kept.width, 4);
}

TEST(MotionAreaOverlayTest, AreaCellsAreTintedAndOutlined) {
    const Bgr base{200, 100, 50};
    Still picture = Uniform(64, 48, base);  // cells of 4 x 4 pixels
    MotionAreaMask area{};
    MotionAreaMask hover{};
    config::SetCell(area, 0, true);
    config::SetCell(area, 17, true);
    config::SetCell(hover, 17, true);
    config::SetCell(hover, 1, true);
    config::SetCell(area, 191, true);
    config::DrawMotionOverlay(picture, area, hover);

    const Bgr tinted{200 * 155 / 255, 100 * 155 / 255, 100 + 50 * 155 / 255};
    const Bgr yellow{0, 255, 255};
    const Bgr blue{255, 0, 0};
    // Cell 0: tinted inside, yellow border (top row, left column, corners).
    EXPECT_EQ(PixelAt(picture, 1, 1), tinted);
    EXPECT_EQ(PixelAt(picture, 0, 0), yellow);
    EXPECT_EQ(PixelAt(picture, 3, 2), yellow);
    EXPECT_EQ(PixelAt(picture, 2, 3), yellow);
    // Cell 1 is only hovered: a blue border round the untouched picture.
    EXPECT_EQ(PixelAt(picture, 4, 0), blue);
    EXPECT_EQ(PixelAt(picture, 5, 1), base);
    // Cell 17 (row 1, column 1) is both: tinted with the hover border.
    EXPECT_EQ(PixelAt(picture, 5, 5), tinted);
    EXPECT_EQ(PixelAt(picture, 4, 4), blue);
    // Cell 191 lies at the bottom right, which is the first row of the buffer.
    EXPECT_EQ(PixelAt(picture, 63, 47), yellow);
    EXPECT_EQ(PixelAt(picture, 61, 45), tinted);
    EXPECT_EQ(PixelAt(picture, 8, 8), base);

    // A picture smaller than the grid has no cells to draw; nothing is touched.
    Still tiny = Uniform(8, 8, base);
    config::DrawMotionOverlay(tiny, area, hover);
    EXPECT_EQ(tiny.pixels, Uniform(8, 8, base).pixels);
}

TEST(MotionGridTest, PointsAndDragRectanglesFindTheirCells) {
    const config::MotionGrid ntsc{70, 60, 20, 19};
    EXPECT_EQ(ntsc.CellAt(70, 60), 0);
    EXPECT_EQ(ntsc.CellAt(89, 78), 0);
    EXPECT_EQ(ntsc.CellAt(90, 79), 17);
    EXPECT_EQ(ntsc.CellAt(389, 287), 191);
    EXPECT_EQ(ntsc.CellAt(390, 60), -1);
    EXPECT_EQ(ntsc.CellAt(69, 100), -1);
    EXPECT_EQ(ntsc.CellAt(100, 288), -1);
    const config::MotionGrid pal{70, 60, 20, 23};
    EXPECT_EQ(pal.CellAt(70, 60 + 275), 176);

    // From the middle of cell 17 to the right border of cell 18, which is also the left border
    // of cell 19: both borders of a cell count.
    const MotionAreaMask swept = ntsc.CellsMeeting(70 + 30, 60 + 28, 70 + 60, 60 + 28);
    std::vector<int> cells;
    for (int cell = 0; cell < config::kGridCells; ++cell) {
        if (config::IsCellSet(swept, cell)) {
            cells.push_back(cell);
        }
    }
    EXPECT_EQ(cells, (std::vector<int>{17, 18, 19}));
}

TEST(ChannelSectionsTest, EditorsWithNothingChosenKeepTheDevicesValue) {
    config::Rs485Entry entry{5, 9, 7, 1234};
    EXPECT_FALSE(config::MergeDeviceEdit(entry, {-1, -1, -1, 9}));
    EXPECT_EQ(entry.kind, 5);
    EXPECT_EQ(entry.protocol, 7);
    EXPECT_EQ(entry.rate, 1234u);
    EXPECT_TRUE(config::MergeDeviceEdit(entry, {1, 0, 6, 9}));
    EXPECT_EQ(entry.kind, 1);
    EXPECT_EQ(entry.protocol, 0);
    EXPECT_EQ(entry.rate, 115200u);

    config::DetectionChannel channel;
    channel.detect = 9;
    const config::DetectionChanges none =
        config::MergeDetectionEdit(channel, {0, -1, 0, 0, 0, 0, {}});
    EXPECT_FALSE(none.dvrLive || none.alarm);
    EXPECT_EQ(channel.detect, 9);
}

TEST(ChannelSectionsTest, ChannelsAreGatheredFromTheirArrays) {
    std::array<std::uint8_t, 772> live{};
    std::array<std::uint8_t, 128> rec{};
    std::array<std::uint8_t, 24> alarm{};
    const char titles[] = "ABCDEFxy";  // channel 0 fills its six bytes, channel 1 is "xy"
    std::copy_n(titles, 8, &live[116]);
    live[4 + 1] = 11;
    live[52 + 1] = 22;
    live[36 + 1] = 33;
    rec[20 + 1] = 1;
    alarm[8 + 3] = 7;
    alarm[8 + 4] = 2;
    live[388 + 24 * 3 + 23] = 0x80;

    EXPECT_EQ(config::ReadCameraChannel(live, rec, 0).title, "ABCDEF");
    const config::CameraChannel one = config::ReadCameraChannel(live, rec, 1);
    EXPECT_EQ(one.title, "xy");
    EXPECT_EQ(one.brightness, 11);
    EXPECT_EQ(one.saturation, 22);
    EXPECT_EQ(one.hue, 33);
    EXPECT_EQ(one.record, 1);

    // An alarm byte the page has no text for opens as LOW.
    const config::DetectionChannel three = config::ReadDetectionChannel(live, alarm, 3);
    EXPECT_EQ(three.alarm, 0);
    EXPECT_TRUE(config::IsCellSet(three.mask, 183));
    EXPECT_EQ(config::ReadDetectionChannel(live, alarm, 4).alarm, 2);
}

}  // namespace
