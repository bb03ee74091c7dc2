#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <fstream>

#include "platform/paths.h"
#include "play_schedule.h"
#include "player_window.h"
#include "recording/record_file.h"
#include "test_support/answer_dialog.h"
#include "test_support/env_override.h"
#include "test_support/long_recording.h"
#include "test_support/pump.h"
#include "test_support/screenshot.h"
#include "test_support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Jpeg(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return Bytes(data.begin(), data.end());
}

class VideoPlayer : public ::testing::Test {
protected:
    // The file dialog reads the settings beside the program and may make the record folder.
    VideoPlayer() { platform::SetProgramFolder(folder.Path()); }

    // A recording of the frames; the stamps, when given, are the frames' time stamps.
    std::filesystem::path Record(const std::vector<Bytes>& frames,
                                 const std::vector<std::uint32_t>& stamps = {}) {
        recording::RecordFileWriter writer(recording::kRecordKindManual);
        EXPECT_TRUE(writer.Create(folder.Path(), "USER", {1, 2, 3, 4}, "u"));
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const Bytes& frame = frames[i];
            recording::PreAlarmFrameInfo info;
            info.dwFrameSize = static_cast<std::uint32_t>(frame.size());
            info.dwTimeStamp = i < stamps.size() ? stamps[i] : 0;
            EXPECT_TRUE(writer.WriteFrame(info, frame.data()));
        }
        const auto path = writer.Path();
        EXPECT_TRUE(writer.Close());
        return path;
    }

    // Opens the file and waits until it is read.
    void OpenAndWait(const std::filesystem::path& path) {
        window.Open(path);
        EXPECT_TRUE(test_support::PumpUntil([&] { return !window.Reading(); }, 120'000));
    }

    test_support::TempFolder folder;
    test_support::EnvOverride homeVar{"HOME", folder.Path().string()};
    test_support::EnvOverride configVar{"XDG_CONFIG_HOME", std::nullopt};
    PlayerWindow window;
};

TEST_F(VideoPlayer, StepsAndPlaysThroughTheDecodedFrames) {
    const auto path = Record(
        {Jpeg(64, 48, Qt::red), Jpeg(32, 24, Qt::green), Bytes{1, 2, 3}, Jpeg(16, 8, Qt::blue)});
    OpenAndWait(path);
    ASSERT_EQ(window.FrameCount(), 4u);
    EXPECT_EQ(window.Picture().size(), QSize(64, 48));
    EXPECT_GT(qRed(window.Picture().pixel(10, 10)), 200);
    window.Step();
    EXPECT_EQ(window.CurrentFrame(), 1u);
    EXPECT_EQ(window.Picture().size(), QSize(32, 24));
    window.Step();
    EXPECT_TRUE(window.Picture().isNull()) << "a frame that is not a picture";
    EXPECT_TRUE(window.StatusText().contains("cannot be shown"));

    window.Play();
    QElapsedTimer waited;
    waited.start();
    while (window.Playing() && waited.elapsed() < 5'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_FALSE(window.Playing()) << "playing stops at the last frame";
    EXPECT_EQ(window.CurrentFrame(), 3u);
    EXPECT_EQ(window.Picture().size(), QSize(16, 8));
}

// Play times from the frames' stamps (milliseconds): the recorded pace, and a stand-in for gaps
// that are missing or nonsense.
TEST(PlaySchedule, FollowsTheStampsAndStandsInForNonsense) {
    using Times = std::vector<std::uint64_t>;
    const struct {
        const char* what;
        std::vector<std::uint32_t> stamps;
        Times times;
    } cases[] = {
        {"25 frames a second", {1000, 1040, 1080, 1120}, {0, 40, 80, 120}},
        {"across the wrap", {0xFFFF'FFE0u, 0x8u, 0x30u}, {0, 40, 80}},
        {"no stamps at all", {0, 0, 0}, {0, 100, 200}},
        {"one frame", {77}, {0}},
        {"nothing", {}, {}},
        // A gap running backwards, one of many seconds and a repeated stamp take the middle of
        // the sound gaps (40, 40, 200: 40).
        {"damaged stamps",
         {0, 40, 80, 10, 99'999, 99'999, 100'199},
         {0, 40, 80, 120, 160, 200, 400}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(player::FramePlayTimes(c.stamps), c.times) << c.what;
    }
}

TEST_F(VideoPlayer, PlaysAtTheRecordedPaceAndMovesToAnyFrame) {
    std::vector<Bytes> frames;
    std::vector<std::uint32_t> stamps;
    for (int i = 0; i < 25; ++i) {
        frames.push_back(Jpeg(64, 48, QColor::fromHsv(i * 14, 255, 255)));
        stamps.push_back(5'000 + 40 * static_cast<std::uint32_t>(i));
    }
    OpenAndWait(Record(frames, stamps));
    EXPECT_EQ(window.PlayTimes().back(), 960u);
    EXPECT_EQ(window.PositionText(), "Frame 1 / 25  00:00.00 / 00:00.96");

    auto* slider = window.findChild<QSlider*>();
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->maximum(), 24);
    slider->setValue(12);
    EXPECT_EQ(window.CurrentFrame(), 12u);
    EXPECT_EQ(window.PositionText(), "Frame 13 / 25  00:00.48 / 00:00.96");
    test_support::SaveScreenshot(window, "video-player");

    // Playing moves the slider along and ends at the last frame.
    window.Play();
    EXPECT_TRUE(window.Playing());
    QElapsedTimer waited;
    waited.start();
    while (window.Playing() && waited.elapsed() < 10'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_FALSE(window.Playing());
    EXPECT_EQ(window.CurrentFrame(), 24u);
    EXPECT_EQ(slider->value(), 24);

    // Play at the end starts again from the first frame.
    window.Play();
    EXPECT_LT(window.CurrentFrame(), 24u);
    window.Pause();
}

TEST_F(VideoPlayer, OpensARecordingChosenInItsFileDialog) {
    const auto path = Record({Jpeg(64, 48, Qt::red), Jpeg(64, 48, Qt::green)});
    test_support::AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
        dialog.selectFile(QString::fromStdString(path.string()));
        static_cast<QDialog&>(dialog).accept();
    });
    window.OpenWithDialog();
    ASSERT_TRUE(test_support::PumpUntil([&] { return !window.Reading(); }, 120'000));
    EXPECT_EQ(window.FrameCount(), 2u);
    EXPECT_TRUE(window.windowTitle().endsWith(QString::fromStdString(path.filename().string())));

    // Cancelled, the dialog leaves the open recording as it was.
    test_support::AnswerNextDialog<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    window.OpenWithDialog();
    EXPECT_EQ(window.FrameCount(), 2u);
}

TEST_F(VideoPlayer, SaysWhyAFileCannotBePlayed) {
    const auto other = folder.Path() / "notes.txt";
    std::ofstream(other) << std::string(200, 'x');
    OpenAndWait(other);
    EXPECT_EQ(window.FrameCount(), 0u);
    EXPECT_TRUE(window.StatusText().contains("not a record file"))
        << window.StatusText().toStdString();
    window.Play();
    EXPECT_FALSE(window.Playing());

    const auto damaged = Record({Jpeg(8, 8, Qt::red), Jpeg(8, 8, Qt::green), Jpeg(8, 8, Qt::blue)});
    {
        std::fstream file(damaged, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(82);  // the first record's field bitmap
        file.put('\x7F');
    }
    OpenAndWait(damaged);
    EXPECT_EQ(window.FrameCount(), 2u);
    EXPECT_TRUE(window.StatusText().startsWith("The file is damaged: 2 frames recovered, 1 lost."))
        << window.StatusText().toStdString();
    window.Step();
    EXPECT_TRUE(window.StatusText().startsWith("The file is damaged"));

    OpenAndWait(Record({}));
    EXPECT_EQ(window.FrameCount(), 0u);
    EXPECT_TRUE(window.StatusText().contains("no frames"));
}

// A file whose last bytes claim an index larger than the file can hold (the count of a recording
// cut short is whatever bytes were there) is read as the damaged file it is: in words, on a
// window that goes on.
TEST_F(VideoPlayer, ARecordingThatClaimsAHugeIndexSaysSoInWords) {
    recording::RecordFileHeader header;
    header.dwFrameCount = 3;
    const auto head = header.Encode();
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), {0xFF, 0xFF});
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    for (const auto& [size, count] :
         {std::pair{2 * kGiB + 86, 1u << 28}, std::pair{34 * kGiB, 0xFFFF'FFFFu}}) {
        const auto path =
            test_support::WriteSparseRecording(folder.Path() / "claim.qrn", bytes, size, count);
        OpenAndWait(path);
        EXPECT_EQ(window.FrameCount(), 0u);
        EXPECT_EQ(window.StatusText(),
                  "The file is damaged: 0 frames recovered, 3 lost. The recording holds no frames");
        std::filesystem::remove(path);
    }
}

// A long recording whose index is broken or missing is read off the window's thread: the window
// says that it reads, with the busy cursor, and then plays every frame.
TEST_F(VideoPlayer, ReadsALongDamagedRecordingOffItsWindowThread) {
    using test_support::LongRecording;
    using test_support::LongRecordingIndex;
    constexpr std::uint32_t kFrames = 400'000;
    for (const auto index : {LongRecordingIndex::Broken, LongRecordingIndex::Missing}) {
        const auto path = LongRecording::Write(folder.Path(), kFrames, index);
        window.Open(path);
        // Open has returned before any of the file could reach the window.
        EXPECT_TRUE(window.Reading());
        EXPECT_TRUE(
            window.StatusText().startsWith("Reading " + QString::fromStdString(path.filename())))
            << window.StatusText().toStdString();
        EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor);
        window.Play();
        EXPECT_FALSE(window.Playing()) << "nothing to play until the file is read";
        ASSERT_TRUE(test_support::PumpUntil([&] { return !window.Reading(); }, 120'000));
        EXPECT_EQ(window.FrameCount(), kFrames);
        EXPECT_NE(window.cursor().shape(), Qt::BusyCursor);
        EXPECT_EQ(window.PositionText().left(22), "Frame 1 / 400000  00:0");
        EXPECT_TRUE(window.StatusText().startsWith("The file is damaged: 400000 frames recovered"))
            << window.StatusText().toStdString();
    }
}

// A file chosen while another is read is the one shown; closing the window while a file is read
// stops the read and waits for nothing of it.
TEST_F(VideoPlayer, AReadNoLongerWantedIsDropped) {
    using test_support::LongRecording;
    using test_support::LongRecordingIndex;
    const auto slow = LongRecording::Write(folder.Path(), 400'000, LongRecordingIndex::Missing);
    const auto quick = Record({Jpeg(64, 48, Qt::red), Jpeg(64, 48, Qt::green)});
    window.Open(slow);
    OpenAndWait(quick);
    EXPECT_EQ(window.FrameCount(), 2u);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.FrameCount(), 2u);
    EXPECT_TRUE(window.windowTitle().endsWith(QString::fromStdString(quick.filename())));

    auto closing = std::make_unique<PlayerWindow>();
    closing->show();
    closing->Open(slow);
    closing->close();
    closing.reset();
    // Whatever the read had got to, nothing of it reaches the window that is gone.
    QCoreApplication::processEvents();
}

}  // namespace
