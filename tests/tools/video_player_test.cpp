#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <fstream>

#include "player_window.h"
#include "recording/record_file.h"
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
    std::filesystem::path Record(const std::vector<Bytes>& frames) {
        recording::RecordFileWriter writer(recording::kRecordKindManual);
        EXPECT_TRUE(writer.Create(folder.Path(), "USER", {1, 2, 3, 4}, "u"));
        for (const Bytes& frame : frames) {
            recording::PreAlarmFrameInfo info;
            info.dwFrameSize = static_cast<std::uint32_t>(frame.size());
            EXPECT_TRUE(writer.WriteFrame(info, frame.data()));
        }
        const auto path = writer.Path();
        EXPECT_TRUE(writer.Close());
        return path;
    }

    test_support::TempFolder folder;
    PlayerWindow window;
};

TEST_F(VideoPlayer, StepsAndPlaysThroughTheDecodedFrames) {
    const auto path = Record(
        {Jpeg(64, 48, Qt::red), Jpeg(32, 24, Qt::green), Bytes{1, 2, 3}, Jpeg(16, 8, Qt::blue)});
    ASSERT_TRUE(window.Open(path));
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

TEST_F(VideoPlayer, SaysWhyAFileCannotBePlayed) {
    const auto other = folder.Path() / "notes.txt";
    std::ofstream(other) << std::string(200, 'x');
    EXPECT_FALSE(window.Open(other));
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
    ASSERT_TRUE(window.Open(damaged));
    EXPECT_EQ(window.FrameCount(), 2u);
    EXPECT_TRUE(window.StatusText().startsWith("The file is damaged: 2 frames recovered, 1 lost."))
        << window.StatusText().toStdString();
    window.Step();
    EXPECT_TRUE(window.StatusText().startsWith("The file is damaged"));

    ASSERT_TRUE(window.Open(Record({})));
    EXPECT_EQ(window.FrameCount(), 0u);
    EXPECT_TRUE(window.StatusText().contains("no frames"));
}

}  // namespace
