#include "recording/avi_writer.h"

#include <gtest/gtest.h>

#include <map>

#include "file_bytes.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace {

using namespace recording;
using recording_test::Bytes;
using recording_test::ReadBytes;
using recording_test::U16At;
using recording_test::U32At;

// Enough of a JPEG picture for its size: start of image, a baseline start-of-frame segment for
// 320 x 240, `extra` bytes of "scan", end of image.
Bytes Picture(std::size_t extra, std::uint8_t fill) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00,
               0x0B, 0x08, 0x00, 0xF0, 0x01, 0x40, 0x01, 0x01, 0x11, 0x00};
    b.insert(b.end(), extra, fill);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

std::string FourCC(const Bytes& b, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}

struct Chunk {
    std::string id;    // chunk id, or the list type for a LIST
    std::size_t data;  // offset of the data (after a list's type)
    std::size_t size;  // size of the data
};

// The chunks between `begin` and `end`, checking that each fits and lists nest.
std::vector<Chunk> Chunks(const Bytes& b, std::size_t begin, std::size_t end) {
    std::vector<Chunk> chunks;
    std::size_t at = begin;
    while (at < end) {
        EXPECT_LE(at + 8, end);
        const std::size_t size = U32At(b, at + 4);
        EXPECT_LE(at + 8 + size, end) << FourCC(b, at);
        if (FourCC(b, at) == "LIST") {
            chunks.push_back({FourCC(b, at + 8), at + 12, size - 4});
        } else {
            chunks.push_back({FourCC(b, at), at + 8, size});
        }
        at += 8 + size + size % 2;
    }
    EXPECT_EQ(at, end);
    return chunks;
}

TEST(AviWriter, WritesAWellFormedMotionJpegFile) {
    test_support::TempFolder folder;
    const std::vector<Bytes> frames = {Picture(100, 1), Picture(51, 2), Picture(7'000, 3)};
    std::filesystem::path path;
    {
        AviWriter writer(folder.Path() / "movie.avi", 5);
        for (const Bytes& frame : frames) {
            ASSERT_EQ(writer.AddJpegFrame(frame), kAviOk);
        }
        path = writer.Path();
        ASSERT_TRUE(writer.Close());
    }
    EXPECT_EQ(path, folder.Path() / "movie.avi");
    const Bytes b = ReadBytes(path);
    ASSERT_GE(b.size(), 12u);
    EXPECT_EQ(FourCC(b, 0), "RIFF");
    EXPECT_EQ(U32At(b, 4), b.size() - 8);
    EXPECT_EQ(FourCC(b, 8), "AVI ");

    const auto top = Chunks(b, 12, b.size());
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].id, "hdrl");
    EXPECT_EQ(top[1].id, "movi");
    EXPECT_EQ(top[2].id, "idx1");

    const auto hdrl = Chunks(b, top[0].data, top[0].data + top[0].size);
    ASSERT_EQ(hdrl.size(), 2u);
    ASSERT_EQ(hdrl[0].id, "avih");
    ASSERT_EQ(hdrl[0].size, 56u);
    const std::size_t avih = hdrl[0].data;
    EXPECT_EQ(U32At(b, avih), 200'000u);    // microseconds per frame
    EXPECT_EQ(U32At(b, avih + 12), 0x10u);  // has an index
    EXPECT_EQ(U32At(b, avih + 16), 3u);     // frames
    EXPECT_EQ(U32At(b, avih + 24), 1u);     // streams
    EXPECT_EQ(U32At(b, avih + 32), 320u);
    EXPECT_EQ(U32At(b, avih + 36), 240u);
    ASSERT_EQ(hdrl[1].id, "strl");
    const auto strl = Chunks(b, hdrl[1].data, hdrl[1].data + hdrl[1].size);
    ASSERT_EQ(strl.size(), 2u);
    ASSERT_EQ(strl[0].id, "strh");
    EXPECT_EQ(FourCC(b, strl[0].data), "vids");
    EXPECT_EQ(FourCC(b, strl[0].data + 4), "MJPG");
    EXPECT_EQ(U32At(b, strl[0].data + 20), 1u);  // scale
    EXPECT_EQ(U32At(b, strl[0].data + 24), 5u);  // rate
    EXPECT_EQ(U32At(b, strl[0].data + 32), 3u);  // length
    ASSERT_EQ(strl[1].id, "strf");
    ASSERT_EQ(strl[1].size, 40u);
    EXPECT_EQ(U32At(b, strl[1].data + 4), 320u);
    EXPECT_EQ(U32At(b, strl[1].data + 8), 240u);
    EXPECT_EQ(U16At(b, strl[1].data + 14), 24);
    EXPECT_EQ(FourCC(b, strl[1].data + 16), "MJPG");

    const auto movi = Chunks(b, top[1].data, top[1].data + top[1].size);
    ASSERT_EQ(movi.size(), frames.size());
    ASSERT_EQ(top[2].size, 16 * frames.size());
    const std::size_t moviType = top[1].data - 4;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(movi[i].id, "00dc");
        EXPECT_EQ(Bytes(b.begin() + movi[i].data, b.begin() + movi[i].data + movi[i].size),
                  frames[i]);
        const std::size_t entry = top[2].data + 16 * i;
        EXPECT_EQ(FourCC(b, entry), "00dc");
        EXPECT_EQ(U32At(b, entry + 4), 0x10u);  // key frame
        EXPECT_EQ(moviType + U32At(b, entry + 8), movi[i].data - 8);
        EXPECT_EQ(U32At(b, entry + 12), frames[i].size());
    }
}

TEST(AviWriter, AFirstFrameWithoutAPictureSizeFailsForGood) {
    test_support::TempFolder folder;
    test_support::RecordingMessageSink messages;
    AviWriter writer(folder.Path() / "movie.avi");
    EXPECT_EQ(writer.AddJpegFrame(Bytes{0xFF, 0xD8, 0xFF, 0xD9}), kAviFail);
    EXPECT_EQ(writer.AddJpegFrame(Picture(10, 1)), kAviFail);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kAviRenderFailed});
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(AviWriter, ATakenNameIsNotOverwritten) {
    test_support::TempFolder folder;
    std::ofstream(folder.Path() / "movie.avi") << "keep";
    AviWriter writer(folder.Path() / "movie.avi");
    ASSERT_EQ(writer.AddJpegFrame(Picture(10, 1)), kAviOk);
    EXPECT_EQ(writer.Path(), folder.Path() / "movie_1.avi");
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(ReadBytes(folder.Path() / "movie.avi"), (Bytes{'k', 'e', 'e', 'p'}));
}

}  // namespace
