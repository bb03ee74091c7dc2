#include "video/frame_painter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <filesystem>

#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "test_support/fake_main_window.h"
#include "test_support/temp_folder.h"
#include "video/frame_slots.h"
#include "video/snapshot.h"
#include "video/stream_packet_header.h"

namespace {

using test_support::EventLog;

class PresentingWindow : public test_support::FakeMainWindow {
public:
    using FakeMainWindow::FakeMainWindow;
    void PresentFrame(std::shared_ptr<const PaintedFrame> frame) override {
        frames.push_back(std::move(frame));
    }
    std::vector<std::shared_ptr<const PaintedFrame>> frames;
};

// The byte of a test picture at column x, row y counted from the top, channel c.
std::uint8_t Pattern(int x, int y, int c) {
    return static_cast<std::uint8_t>(x * 7 + y * 3 + c * 50);
}

class Painter : public ::testing::Test {
protected:
    Painter() {
        g_lpApp = new KernelObject;
        KernelObject& app = *g_lpApp;
        app.m_lpFrameCopyBuffer.reset(new std::uint8_t[kImageSlotSize]());
        app.h_FinishShowImageJobEvent = platform::CreateEventObject(false, false);
        app.h_FrameCopiedSem = platform::CreateSemaphoreObject(0, 1);
        app.m_pMainDialog = &window;
        app.m_fVideoReady = 1;
        app.m_dwRateTick = platform::GetTickCount();
        app.CSettingINI.m_strSnapshotPath = folder.Path().string();
    }
    ~Painter() override {
        platform::CloseObject(g_lpApp->h_FinishShowImageJobEvent);
        platform::CloseObject(g_lpApp->h_FrameCopiedSem);
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    // Puts a decoded w x h picture (the pattern, or one grey) into slot 0 and makes it current.
    void Decoded(std::uint16_t w, std::uint16_t h, int grey = -1) {
        auto picture = frameSlots.Blank();
        picture->width = w;
        picture->height = h;
        picture->pixels.resize(std::size_t{w} * h * kPaintedPixelBytes);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                std::uint8_t* px = Pixel(*picture, x, y);
                for (int c = 0; c < 3; ++c) {
                    px[c] = grey >= 0 ? static_cast<std::uint8_t>(grey) : Pattern(x, y, c);
                }
                px[3] = 0xFF;
            }
        }
        frameSlots.Fill(0, std::move(picture));
        frameSlots.MakeCurrent(0);
    }

    static std::uint8_t* Pixel(PaintedFrame& f, int x, int y) {
        return f.pixels.data() + (static_cast<std::size_t>(y) * f.width + x) * kPaintedPixelBytes;
    }

    bool Finished() {
        return platform::WaitForObject(g_lpApp->h_FinishShowImageJobEvent, 0) ==
               platform::kWaitObject0;
    }

    // Pixel (x, y from the top) of the last presented frame.
    const std::uint8_t* Pixel(int x, int y) {
        return Pixel(const_cast<PaintedFrame&>(*window.frames.back()), x, y);
    }

    test_support::TempFolder folder;
    EventLog log;
    PresentingWindow window{log};
    FrameSlots frameSlots;
    PacketHeaderParser parser;
    CFramePainter painter{frameSlots, parser};
};

struct SizeCase {
    std::uint16_t width, height;
    std::uint16_t paintedHeight;
};

class PainterSizes : public Painter, public ::testing::WithParamInterface<SizeCase> {};

// Field pictures 640 to 720 wide get doubled rows; nothing is doubled past 720 x 576.
TEST_P(PainterSizes, DoublesFieldPicturesAndServesTheFrameCopyAtThePaintedSize) {
    const SizeCase c = GetParam();
    Decoded(c.width, c.height, 0x80);
    g_lpApp->m_fFrameCopyRequest = 1;
    ASSERT_EQ(painter.Paint(), 1u);
    EXPECT_TRUE(Finished());
    ASSERT_EQ(window.frames.size(), 1u);
    const PaintedFrame& frame = *window.frames[0];
    EXPECT_EQ(frame.width, c.width);
    EXPECT_EQ(frame.height, c.paintedHeight);
    EXPECT_FALSE(frame.fullScreen);
    // A uniform grey stays that grey through the doubling filter.
    ASSERT_EQ(frame.pixels.size(), std::size_t{c.width} * c.paintedHeight * kPaintedPixelBytes);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        ASSERT_EQ(frame.pixels[i], i % kPaintedPixelBytes == 3 ? 0xFF : 0x80) << i;
    }
    EXPECT_EQ(platform::WaitForObject(g_lpApp->h_FrameCopiedSem, 0), platform::kWaitObject0);
    EXPECT_EQ(g_lpApp->m_wCopyWidth, c.width);
    EXPECT_EQ(g_lpApp->m_wCopyHeight, c.paintedHeight);
    EXPECT_EQ(g_lpApp->m_fFrameCopyRequest, 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PainterSizes,
                         ::testing::Values(SizeCase{640, 228, 456}, SizeCase{320, 228, 228},
                                           SizeCase{720, 288, 576}, SizeCase{720, 576, 576},
                                           SizeCase{704, 480, 480}, SizeCase{176, 112, 112}));

// The decoded picture itself goes to the window, with or without a frame copy served from it.
TEST_F(Painter, PresentsTheDecodedPictureAndCopiesTheFrameBottomUp) {
    for (const bool copy : {false, true}) {
        Decoded(320, 240);
        const std::uint8_t* decoded = g_lpApp->m_lpCurrentImage;
        g_lpApp->m_fFrameCopyRequest = copy ? 1 : 0;
        painter.Paint();
        EXPECT_EQ(window.frames.back()->pixels.data(), decoded);
        for (const auto& [x, y] : {std::pair{0, 0}, {319, 0}, {5, 239}, {100, 120}}) {
            EXPECT_EQ(Pixel(x, y)[0], Pattern(x, y, 0));
            EXPECT_EQ(Pixel(x, y)[2], Pattern(x, y, 2));
        }
    }
    const std::uint8_t* copied = g_lpApp->m_lpFrameCopyBuffer.get();
    for (const auto& [x, y] : {std::pair{0, 0}, {319, 0}, {5, 239}, {100, 120}}) {
        const std::uint8_t* px = copied + (static_cast<std::size_t>(239 - y) * 320 + x) * 3;
        EXPECT_EQ(px[0], Pattern(x, y, 0));
        EXPECT_EQ(px[1], Pattern(x, y, 1));
        EXPECT_EQ(px[2], Pattern(x, y, 2));
    }
}

TEST_F(Painter, HotPointMarkerOnExactlyTheNextFramesOutsideFullScreen) {
    KernelObject& app = *g_lpApp;
    app.m_bHotPointMode = 2;
    app.m_wHotBoxFrames = 3;
    app.m_wHotBoxX = 50;
    app.m_wHotBoxY = 50;
    const auto red = [&] { return Pixel(50, 50)[2] == 0xFF && Pixel(50, 50)[0] == 0; };
    for (int frame = 0; frame < 4; ++frame) {
        Decoded(320, 240, 0x80);
        painter.Paint();
        EXPECT_EQ(red(), frame < 3) << "frame " << frame;
    }
    EXPECT_EQ(app.m_wHotBoxFrames, 0);

    app.m_wHotBoxFrames = 2;
    painter.SetFullScreen(true, 320, 240);
    Decoded(320, 240, 0x80);
    painter.Paint();
    EXPECT_FALSE(red());
    EXPECT_EQ(app.m_wHotBoxFrames, 2);
}

TEST_F(Painter, FullScreenScalesToTheScreenWithNearestNeighbours) {
    Decoded(320, 228);
    painter.SetFullScreen(true, 640, 456);
    painter.Paint();
    const PaintedFrame& frame = *window.frames.back();
    EXPECT_TRUE(frame.fullScreen);
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 456);
    for (const auto& [x, y] : {std::pair{0, 0}, {319, 227}, {10, 200}, {160, 3}}) {
        for (const auto& [dx, dy] : {std::pair{0, 0}, {1, 1}}) {
            EXPECT_EQ(Pixel(2 * x + dx, 2 * y + dy)[1], Pattern(x, y, 1)) << x << "," << y;
        }
    }
    painter.SetFullScreen(false, 0, 0);
    Decoded(320, 228);
    painter.Paint();
    EXPECT_EQ(window.frames.back()->width, 320);
}

// No video (or no frame yet) still frees the slot, or the show thread would wait for ever.
TEST_F(Painter, NoVideoReadySetsTheFinishEventAndPaintsNothing) {
    EXPECT_EQ(painter.Paint(), 0u);  // no current frame yet
    EXPECT_TRUE(Finished());
    Decoded(320, 240);
    g_lpApp->m_fVideoReady = 0;
    EXPECT_EQ(painter.Paint(), 0u);
    EXPECT_TRUE(Finished());
    EXPECT_TRUE(window.frames.empty());
}

TEST_F(Painter, SnapshotRequestWritesAJpegOfThePaintedPicture) {
    Decoded(640, 228);
    g_lpApp->m_fSnapshotRequest = 1;
    painter.Paint();
    EXPECT_EQ(g_lpApp->m_fSnapshotRequest, 0u);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".jpg");
    const QImage image(QString::fromStdString(files[0].string()));
    EXPECT_EQ(image.width(), 640);
    EXPECT_EQ(image.height(), 456);
    // The user is told which file it was; a folder that refuses the file is told as well.
    EXPECT_EQ(log.Count("Status Snapshot " + files[0].filename().string() + " saved"), 1);
    g_lpApp->CSettingINI.m_strSnapshotPath = (folder.Path() / "gone").string();
    Decoded(640, 228);
    g_lpApp->m_fSnapshotRequest = 1;
    painter.Paint();
    EXPECT_EQ(log.Count("Status Snapshot not saved"), 1);
}

TEST(SnapshotReport, NamesTheFileOnTheStatusLineAndThePathInTheTrace) {
    const SnapshotReport saved = ReportSnapshot("/home/u/Pictures/241211T101500_2.jpg", "/x");
    EXPECT_EQ(saved.notice, "Snapshot 241211T101500_2.jpg saved");
    EXPECT_EQ(saved.trace, "Snapshot saved to /home/u/Pictures/241211T101500_2.jpg");
    const SnapshotReport failed = ReportSnapshot({}, "/media/full");
    EXPECT_EQ(failed.notice, "Snapshot not saved");
    EXPECT_EQ(failed.trace, "Snapshot not saved: cannot write to /media/full");
}

TEST_F(Painter, IndicatorNamesTheLowestAlarmBitAndRatesCarryThePacketText) {
    Decoded(320, 240);
    parser.m_wAlarmData = 0x0004;
    painter.Paint();
    EXPECT_EQ(window.frames.back()->indicator, "3");
    EXPECT_FALSE(window.frames.back()->status2.has_value());  // the rates are not due yet
    EXPECT_EQ(log.Count("Status " + painter.CurrentFrameRateText() + painter.CurrentDataRateText()),
              0);

    parser.m_wAlarmData = 0;
    std::uint8_t header[4 + 16] = {0x02, 0, 0, 0, 'C', 'A', 'M', '1'};
    std::uint32_t length = 0;
    PacketInfo info;
    parser.Parse(header, &length, &info);
    g_lpApp->m_dwRateTick = platform::GetTickCount() - kRateIntervalMs;
    g_lpApp->m_dwFramesShown = 50;
    Decoded(320, 240);
    painter.Paint();
    EXPECT_EQ(window.frames.back()->indicator, "");
    EXPECT_EQ(window.frames.back()->status2, "HU: CAM1");
    EXPECT_EQ(log.Count("Status " + painter.CurrentFrameRateText() + painter.CurrentDataRateText()),
              1);
    EXPECT_EQ(g_lpApp->m_dwFramesAtRate, 50u);
}

TEST(FrameRates, ExamplesAndLargeByteCounts) {
    const FrameRates rates = ComputeFrameRates(50, 256'000, 2'000);
    EXPECT_EQ(FrameRateText(rates.frameRate), "FR:25.00 fps ");
    EXPECT_EQ(DataRateText(rates.dataRateKbps), "DR:1000 kbps ");
    // 20 MB in 2 s: the 32-bit product would wrap and report nonsense.
    EXPECT_EQ(ComputeFrameRates(0, 20'000'000, 2'000).dataRateKbps, 78'125u);
}

TEST(FrameRates, DueAfterTwoSecondsAndNeverForATickAhead) {
    EXPECT_FALSE(RatesDue(11'999, 10'000));
    EXPECT_TRUE(RatesDue(12'000, 10'000));
    EXPECT_TRUE(RatesDue(500, 0xFFFFFFFFu - 1'600));  // across the wrap of the tick counter
    EXPECT_FALSE(RatesDue(10'000, 15'000));
}

}  // namespace
