#include "video/snapshot.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QImage>
#include <csignal>
#include <filesystem>

#include "test_support/temp_folder.h"

namespace {

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

std::vector<std::filesystem::path> Files(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A bottom-up picture whose pixel (x, y from the top) is blue x, green y, red 200.
std::vector<std::uint8_t> Picture(int width, int height) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px =
                p.data() + (static_cast<std::size_t>(height - 1 - y) * width + x) * 3;
            px[0] = static_cast<std::uint8_t>(x * 40);
            px[1] = static_cast<std::uint8_t>(y * 40);
            px[2] = 200;
        }
    }
    return p;
}

TEST(Snapshot, NamesFollowTheLocalDateAndTime) {
    EXPECT_EQ(SnapshotBaseName(LocalTime(2005, 12, 31, 23, 59, 59)), "051231T235959");
    EXPECT_EQ(SnapshotBaseName(LocalTime(2005, 8, 31, 9, 5, 7)), "050831T090507");
}

// Width 3 makes rows of 9 bytes, which a BMP pads to 12.
TEST(Snapshot, BmpWithPaddedRowsOpensInAnotherReader) {
    test_support::TempFolder folder;
    const auto picture = Picture(3, 2);
    const auto written = SaveSnapshot(folder.Path().string(), picture.data(), 3, 2, kSnapshotBmp);
    const auto files = Files(folder.Path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(written, files[0]);
    EXPECT_EQ(files[0].extension(), ".bmp");
    EXPECT_EQ(std::filesystem::file_size(files[0]), 54u + 12u * 2);
    const QImage image(QString::fromStdString(files[0].string()));
    ASSERT_EQ(image.size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(image.pixel(x, y), qRgb(200, y * 40, x * 40)) << x << "," << y;
        }
    }
}

TEST(Snapshot, JpegOpensInAnotherReader) {
    test_support::TempFolder folder;
    const auto picture = Picture(64, 48);
    ASSERT_FALSE(SaveSnapshot(folder.Path().string() + "/", picture.data(), 64, 48, 1).empty());
    const auto files = Files(folder.Path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".jpg");
    const QImage image(QString::fromStdString(files[0].string()));
    ASSERT_EQ(image.size(), QSize(64, 48));
    EXPECT_NEAR(qRed(image.pixel(10, 10)), 200, 12);
}

TEST(Snapshot, SecondFileOfTheSameNameGetsASuffixAndTheFolderSeparatorIsOptional) {
    test_support::TempFolder folder;
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    const auto first = WriteNewFile(folder.Path(), "051231T235959", ".jpg", bytes);
    const auto second = WriteNewFile(folder.Path().string() + "/", "051231T235959", ".jpg", bytes);
    EXPECT_EQ(first, folder.Path() / "051231T235959.jpg");
    EXPECT_EQ(second.filename(), "051231T235959_2.jpg");
    EXPECT_EQ(second.parent_path().lexically_normal(), folder.Path());
    EXPECT_EQ(Files(folder.Path()).size(), 2u);
}

TEST(Snapshot, FailuresReturnNoFileAndLeaveNothingBehind) {
    test_support::TempFolder folder;
    const auto picture = Picture(4, 4);
    EXPECT_TRUE(
        SaveSnapshot((folder.Path() / "missing").string(), picture.data(), 4, 4, 1).empty());
    EXPECT_TRUE(SaveSnapshot(folder.Path().string(), nullptr, 4, 4, 1).empty());
    // A file size limit makes the write fail part-way: the failure is seen and the partial
    // file removed.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto written = SaveSnapshot(folder.Path().string(), picture.data(), 4, 4, 0);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(written.empty());
    EXPECT_TRUE(Files(folder.Path()).empty());
}

}  // namespace
