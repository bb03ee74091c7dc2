#include "recording/record_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "file_bytes.h"
#include "test_support/long_recording.h"
#include "test_support/process_usage.h"
#include "test_support/temp_folder.h"

// The sanitizers reserve address space of their own and end the process on any failed
// allocation, so a limit on memory can only be tried without them. g++ says it builds with one
// through a macro, clang through a feature test.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RECORD_TEST_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define RECORD_TEST_SANITIZER 1
#endif
#endif

namespace {

using namespace recording;
using recording_test::Bytes;
using recording_test::ReadBytes;
using recording_test::U16At;

SystemTime FixedTime() {
    return {2005, 8, 3, 31, 14, 5, 9, 0};
}

PreAlarmFrameInfo InfoFor(std::uint32_t size, std::uint32_t timeStamp) {
    PreAlarmFrameInfo info;
    info.dwFrameSize = size;
    info.dwMagic = kFrameInfoMagic;
    info.byChannel = 2;
    info.dwTimeStamp = timeStamp;
    info.wWidth = 640;
    info.wHeight = 480;
    return info;
}

void Append(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        out.push_back(static_cast<std::uint8_t>(b));
    }
}

void AppendU32(Bytes& out, std::uint32_t v) {
    Append(out, {int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}

// The bytes a record file must hold, spelled out field by field from the format's tables.
Bytes ExpectedFile(const std::vector<Bytes>& frames, const std::vector<std::uint32_t>& stamps) {
    Bytes b;
    Append(b, {0x58, 0x51, 82, 0, '5', '1', '8', 'R'});
    b.resize(24, 0);
    Append(b, {0xD5, 0x07, 8, 0, 3, 0, 31, 0, 14, 0, 5, 0, 9, 0, 0, 0});  // 2005-08-31 14:05:09
    AppendU32(b, stamps.front());
    AppendU32(b, stamps.back());
    AppendU32(b, static_cast<std::uint32_t>(frames.size()));
    Append(b, {192, 168, 1, 10, 1, 0, 0, 1});  // address, u16 1, 0, kind alarm
    Append(b, {'o', 'p', 'e', 'r', 'a', 't', 'o', 'r'});
    b.resize(80, 0);
    Append(b, {0xFF, 0xFF});
    std::vector<std::uint32_t> offsets;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        offsets.push_back(static_cast<std::uint32_t>(b.size()));
        Append(b, {0xFF, 0, 0, 0});
        AppendU32(b, static_cast<std::uint32_t>(i + 1));
        AppendU32(b, static_cast<std::uint32_t>(frames[i].size()));
        Append(b, {0x80, 0x02, 0xE0, 0x01});  // 640 x 480
        AppendU32(b, stamps[i]);
        Append(b, {2, 0, 5, 0xFF, 0xFF});
        b.insert(b.end(), frames[i].begin(), frames[i].end());
    }
    for (std::uint32_t offset : offsets) {
        AppendU32(b, offset);
        AppendU32(b, 0);
    }
    AppendU32(b, static_cast<std::uint32_t>(frames.size()));
    return b;
}

class RecordFile : public ::testing::Test {
protected:
    std::filesystem::path Write(const std::vector<Bytes>& frames,
                                const std::vector<std::uint32_t>& stamps) {
        RecordFileWriter writer(kRecordKindAlarm, FixedTime);
        EXPECT_TRUE(writer.Create(folder.Path(), "ALARM", {192, 168, 1, 10}, "operator"));
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_TRUE(
                writer.WriteFrame(InfoFor(static_cast<std::uint32_t>(frames[i].size()), stamps[i]),
                                  frames[i].data()));
        }
        const std::filesystem::path path = writer.Path();
        EXPECT_TRUE(writer.Close());
        return path;
    }

    // The reader gives back every frame with its record as written.
    static void ExpectReadBack(const std::filesystem::path& path, const std::vector<Bytes>& frames,
                               const std::vector<std::uint32_t>& stamps, bool indexed) {
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << reader.Error();
        EXPECT_EQ(reader.Indexed(), indexed);
        ASSERT_EQ(reader.Frames().size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const RecordFrameRecord& r = reader.Frames()[i].record;
            EXPECT_EQ(r.dwSequence, i + 1);
            EXPECT_EQ(r.dwTimeStamp, stamps[i]);
            EXPECT_EQ(r.byChannel, 2);
            EXPECT_EQ(r.wWidth, 640);
            EXPECT_EQ(reader.ReadFrame(i), frames[i]) << "frame " << i;
        }
    }

    test_support::TempFolder folder;
};

TEST_F(RecordFile, OneAndThreeFramesGiveTheExactBytesAndReadBack) {
    const std::vector<std::vector<Bytes>> cases = {
        {Bytes{0xFF, 0xD8, 0xFF, 0xD9}},
        {Bytes{1, 2, 3}, Bytes(1'000, 0xAB), Bytes{9}},
    };
    for (const auto& frames : cases) {
        std::vector<std::uint32_t> stamps;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            stamps.push_back(0x1000 + 40 * static_cast<std::uint32_t>(i));
        }
        const auto path = Write(frames, stamps);
        const Bytes bytes = ReadBytes(path);
        EXPECT_EQ(bytes, ExpectedFile(frames, stamps)) << frames.size() << " frames";
        ExpectReadBack(path, frames, stamps, true);
        std::filesystem::remove(path);
    }
}

TEST_F(RecordFile, HeaderKeepsSixteenCharactersOfTheUserAndTheAddressBytes) {
    struct Case {
        std::string user;
        std::string expectedUser;
        std::string address;
        std::array<std::uint8_t, 4> expectedAddress;
    };
    const Case cases[] = {
        {"administrator-of-the-site", "administrator-of", "192.168.1.10", {192, 168, 1, 10}},
        {"bob", "bob", "10.0.300.4.9", {10, 0, 44, 4}},
        {"", "", "host.example", {0, 0, 0, 0}},
        {"x", "x", "1.2", {1, 2, 0, 0}},
        {"y", "y", "12a.-1..7", {0, 0, 0, 7}},
    };
    for (const Case& c : cases) {
        RecordFileWriter writer(kRecordKindManual, FixedTime);
        ASSERT_TRUE(writer.Create(folder.Path(), "USER", DeviceAddressBytes(c.address), c.user));
        const auto path = writer.Path();
        ASSERT_TRUE(writer.Close());
        const Bytes bytes = ReadBytes(path);
        ASSERT_EQ(bytes.size(), 86u);
        EXPECT_EQ(Bytes(bytes.begin() + 52, bytes.begin() + 56),
                  Bytes(c.expectedAddress.begin(), c.expectedAddress.end()))
            << c.address;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[60]), c.expectedUser.size()),
                  c.expectedUser);
        EXPECT_TRUE(std::all_of(bytes.begin() + 60 + c.expectedUser.size(), bytes.begin() + 80,
                                [](std::uint8_t b) { return b == 0; }))
            << c.user;
        EXPECT_EQ(bytes[59], kRecordKindManual);
        std::filesystem::remove(path);
    }
}

TEST_F(RecordFile, AFileWithoutFramesHasAFreshHeaderCountZeroAndAnEmptyIndex) {
    const auto first = Write({Bytes{7, 7, 7}}, {5});
    RecordFileWriter writer(kRecordKindAlarm, FixedTime);
    ASSERT_TRUE(writer.Create(folder.Path(), "ALARM", {1, 2, 3, 4}, "u"));
    const auto second = writer.Path();
    ASSERT_TRUE(writer.Close());
    EXPECT_NE(first, second) << "a taken name is never reused";
    const Bytes bytes = ReadBytes(second);
    ASSERT_EQ(bytes.size(), 86u);
    EXPECT_EQ(U16At(bytes, 0), kRecordFileMagic);
    EXPECT_EQ(recording_test::U32At(bytes, 40), 0u);
    EXPECT_EQ(recording_test::U32At(bytes, 48), 0u);
    EXPECT_EQ(recording_test::U32At(bytes, 82), 0u);
    RecordFileReader reader;
    ASSERT_TRUE(reader.Open(second));
    EXPECT_TRUE(reader.Indexed());
    EXPECT_TRUE(reader.Frames().empty());
    ExpectReadBack(first, {Bytes{7, 7, 7}}, {5}, true);
}

// The player opening a FIFO or a folder named like a record file is refused at once, never held.
TEST_F(RecordFile, OnlyARegularFileIsOpened) {
    const auto fifo = folder.Path() / "pipe.qrn";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::filesystem::create_directory(folder.Path() / "folder.qrn");
    for (const auto& path : {fifo, folder.Path() / "folder.qrn"}) {
        RecordFileReader reader;
        EXPECT_FALSE(reader.Open(path));
        EXPECT_EQ(reader.Error(), "cannot open " + path.string() +
                                      ": it is not a regular file (a pipe, a device or a "
                                      "folder), so it was not opened");
    }
}

TEST_F(RecordFile, SlotSizedFramesAreWrittenWhole) {
    const std::vector<Bytes> frames = {recording_test::NumberedFrame(1, kPreAlarmSlotSize),
                                       recording_test::NumberedFrame(2, kPreAlarmSlotSize)};
    const auto path = Write(frames, {10, 20});
    EXPECT_EQ(std::filesystem::file_size(path), 82 + 2 * (25 + kPreAlarmSlotSize) + 2 * 8 + 4);
    ExpectReadBack(path, frames, {10, 20}, true);
}

TEST_F(RecordFile, ReaderWalksFilesCutShortOrWithABrokenEnd) {
    const std::vector<Bytes> frames = {Bytes(100, 1), Bytes(200, 2), Bytes(300, 3)};
    const auto path = Write(frames, {1, 2, 3});
    const Bytes whole = ReadBytes(path);
    const std::size_t recordsEnd = 82 + 3 * 25 + 600;
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t frames;
    };
    Bytes tornIndex(whole.begin(), whole.begin() + recordsEnd);
    tornIndex.insert(tornIndex.end(), {0x52, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0});
    const Case cases[] = {
        {"no index", Bytes(whole.begin(), whole.begin() + recordsEnd), 3},
        {"half a record", Bytes(whole.begin(), whole.begin() + recordsEnd - 150), 2},
        {"index that disagrees", tornIndex, 3},
        {"header only", Bytes(whole.begin(), whole.begin() + 82), 0},
    };
    for (const Case& c : cases) {
        const auto cut = folder.Path() / "cut.qrn";
        std::ofstream(cut, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(c.bytes.data()),
                   static_cast<std::streamsize>(c.bytes.size()));
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(cut)) << c.what;
        EXPECT_FALSE(reader.Indexed()) << c.what;
        ASSERT_EQ(reader.Frames().size(), c.frames) << c.what;
        for (std::size_t i = 0; i < c.frames; ++i) {
            EXPECT_EQ(reader.ReadFrame(i), frames[i]) << c.what;
        }
    }
}

TEST_F(RecordFile, ADamagedRecordCostsOnlyItsOwnFrame) {
    std::vector<Bytes> frames;
    std::vector<std::uint32_t> stamps;
    for (std::uint8_t i = 0; i < 50; ++i) {
        frames.push_back(Bytes(40 + i, i));
        stamps.push_back(i);
    }
    const Bytes whole = ReadBytes(Write(frames, stamps));
    constexpr std::size_t kDamaged = 20;
    std::size_t at = 82;
    for (std::size_t i = 0; i < kDamaged; ++i) {
        at += 25 + frames[i].size();
    }
    const std::size_t indexEntry = whole.size() - 4 - (50 - kDamaged) * 8;
    const auto plus = [&](std::size_t offset, int add) {
        return std::pair{offset, static_cast<std::uint8_t>(whole[offset] + add)};
    };
    const struct {
        const char* what;
        std::vector<std::pair<std::size_t, std::uint8_t>> edits;
        std::size_t lost;
    } damages[] = {
        {"field bitmap", {{at, 0x7F}}, 1},
        {"length too long", {{at + 9, 0x01}}, 1},  // + 256 bytes, into the next records
        {"length too short", {{at + 8, 0x00}}, 1},
        // The records are whole: walking them by their lengths finds every frame.
        {"index entry into a frame", {plus(indexEntry, 30)}, 0},
        // A length and the next entry moved alike (+ 64 KiB), both past the end of the file.
        {"length and next entry past the end", {plus(at + 10, 1), plus(indexEntry + 10, 1)}, 2},
    };
    for (const auto& d : damages) {
        Bytes bytes = whole;
        for (const auto& [offset, value] : d.edits) {
            bytes[offset] = value;
        }
        const auto path = folder.Path() / "damaged.qrn";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << d.what;
        EXPECT_FALSE(reader.Indexed()) << d.what;
        EXPECT_EQ(reader.Skipped(), d.lost) << d.what;
        ASSERT_EQ(reader.Frames().size(), 50 - d.lost) << d.what;
        for (std::size_t i = 0; i < 50 - d.lost; ++i) {
            const std::size_t original = i < kDamaged ? i : i + d.lost;
            EXPECT_EQ(reader.ReadFrame(i), frames[original]) << d.what << " frame " << i;
        }
    }
}

// A length field that lies, whichever way: the record it heads is never played (it would hold a
// piece of the index or of the next record, or only part of its own frame), every other frame the
// index names is, and the frame is counted as lost.
TEST_F(RecordFile, ALengthThatLiesCostsItsFrameAndNoOther) {
    const struct {
        const char* what;
        std::uint32_t frames;
        std::uint32_t damaged;      // 1-based
        std::int64_t lengthChange;  // added to the length field; 0: set to kHuge
    } cases[] = {
        {"the last record running into the index", 5, 5, 6},
        {"the last record running to the index's count", 5, 5, 5 * 8},
        {"a record running into the next record", 5, 3, 10},
        {"a record running over the whole next record", 5, 3, 25 + 300},
        {"the only record running into the index", 1, 1, 4},
        {"the middle of three with a huge length", 3, 2, 0},
        {"record 9 of 10 cut to 100 bytes", 10, 9, 100 - 300},
        {"the last record cut short", 5, 5, -50},
    };
    constexpr std::uint32_t kHuge = 0x7FFF'FFFF;
    for (const auto& c : cases) {
        std::vector<Bytes> frames;
        std::vector<std::uint32_t> stamps;
        for (std::uint32_t i = 1; i <= c.frames; ++i) {
            frames.push_back(recording_test::NumberedFrame(i, 300));
            stamps.push_back(i);
        }
        const auto path = Write(frames, stamps);
        Bytes bytes = ReadBytes(path);
        const std::size_t lengthAt = 82 + (c.damaged - 1) * (25 + 300) + 8;
        const std::uint32_t length =
            c.lengthChange == 0 ? kHuge : static_cast<std::uint32_t>(300 + c.lengthChange);
        for (int i = 0; i < 4; ++i) {
            bytes[lengthAt + i] = static_cast<std::uint8_t>(length >> (8 * i));
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));

        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << c.what;
        EXPECT_FALSE(reader.Indexed()) << c.what;
        EXPECT_EQ(reader.Skipped(), 1u) << c.what;
        std::vector<std::uint32_t> played;
        for (std::size_t i = 0; i < reader.Frames().size(); ++i) {
            const Bytes frame = reader.ReadFrame(i);
            EXPECT_EQ(frame, frames.at(recording_test::FrameId(frame) - 1)) << c.what;
            played.push_back(recording_test::FrameId(frame));
        }
        std::vector<std::uint32_t> expected;
        for (std::uint32_t i = 1; i <= c.frames; ++i) {
            if (i != c.damaged) {
                expected.push_back(i);
            }
        }
        EXPECT_EQ(played, expected) << c.what;
        std::filesystem::remove(path);
    }
}

// Hundreds of thousands of records with the index missing or broken: every frame plays, in file
// order, the one the broken entry misses found by the walk.
TEST_F(RecordFile, AVeryLongFileWithoutItsIndexPlaysEveryFrame) {
    using test_support::LongRecording;
    using test_support::LongRecordingIndex;
    constexpr std::uint32_t kFrames = 400'000;
    for (const auto index : {LongRecordingIndex::Missing, LongRecordingIndex::Broken}) {
        const auto path = LongRecording::Write(folder.Path(), kFrames, index);
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << reader.Error();
        EXPECT_FALSE(reader.Indexed());
        EXPECT_EQ(reader.Skipped(), 0u);
        ASSERT_EQ(reader.Frames().size(), kFrames);
        std::uint32_t outOfOrder = 0;
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            outOfOrder += reader.Frames()[i].record.dwSequence != i + 1;
        }
        EXPECT_EQ(outOfOrder, 0u);
        for (const std::uint32_t i : {0u, kFrames / 2, kFrames - 1}) {
            EXPECT_EQ(recording_test::FrameId(reader.ReadFrame(i)), i);
        }
    }
}

// The count at the end of a file cut short is whatever bytes were there. One the file cannot hold
// (with its entries, every frame needs at least its record's prefix), or whose first and last
// entries do not lie where records do, is no index and is not read; one just within that is read
// a piece at a time. Either way memory stays at what a few pieces take.
TEST_F(RecordFile, ACountTheFileCannotHoldIsNoIndexAndAnIndexIsReadInPieces) {
    std::vector<Bytes> frames;
    std::vector<std::uint32_t> stamps;
    for (std::uint32_t i = 1; i <= 3; ++i) {
        frames.push_back(recording_test::NumberedFrame(i, 300));
        stamps.push_back(i);
    }
    const Bytes whole = ReadBytes(Write(frames, stamps));
    const Bytes records(whole.begin(), whole.begin() + 82 + 3 * (25 + 300));
    const Bytes header(whole.begin(), whole.begin() + 82);
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    // Within the least sizes: 8 bytes of entry and 25 of record for each frame.
    constexpr std::uint64_t kCredibleSize = 256 << 20;
    constexpr auto kCredibleCount = static_cast<std::uint32_t>((kCredibleSize - 86) / 33);
    constexpr std::uint64_t kCredibleIndex = kCredibleSize - 4 - kCredibleCount * std::uint64_t{8};
    const struct {
        const char* what;
        Bytes head;
        std::uint64_t size;
        std::uint32_t count;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> entries;
        std::size_t frames;
    } cases[] = {
        {"2 GiB of index on a hole", header, 2 * kGiB + 86, 1u << 28, {}, 0},
        {"34 GiB and the largest count", header, 34 * kGiB, 0xFFFF'FFFF, {}, 0},
        {"first entry in place, last one past the index",
         records,
         2 * kGiB,
         1u << 25,
         {{2 * kGiB - 4 - (std::uint64_t{1} << 28), 82}, {2 * kGiB - 12, 0xFFFF'0000}},
         2},
        // The last entry as far on as it can be, where a last record's prefix still fits. The
        // index is read, and the third record ends in the hole: the walk and the first entry
        // find the two before it.
        {"a count just credible, first and last entries in place",
         records,
         kCredibleSize,
         kCredibleCount,
         {{kCredibleIndex, 82},
          {kCredibleSize - 12, static_cast<std::uint32_t>(kCredibleIndex - 25)}},
         2},
    };
    for (const auto& c : cases) {
        const auto path = test_support::WriteSparseRecording(folder.Path() / "claim.qrn", c.head,
                                                             c.size, c.count, c.entries);
        const test_support::PeakMemoryMeter memory;
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << c.what << ": " << reader.Error();
        EXPECT_LT(memory.GrowthKb(), 16 * 1024) << c.what;
        EXPECT_FALSE(reader.Indexed()) << c.what;
        ASSERT_EQ(reader.Frames().size(), c.frames) << c.what;
        for (std::size_t i = 0; i < c.frames; ++i) {
            EXPECT_EQ(reader.ReadFrame(i), frames[i]) << c.what;
        }
        std::filesystem::remove(path);
    }
}

// A frame's offset is kept in 32 bits, as the index keeps it: a record the walk reaches beyond
// them, behind a frame of almost 4 GiB, is not taken for one somewhere near the file's start.
TEST_F(RecordFile, TheWalkEndsWhereOffsetsNoLongerFitTheirField) {
    RecordFrameRecord huge;
    huge.dwSequence = 1;
    huge.dwLength = 0xFFFF'FFFF;
    const auto prefix = huge.Encode();
    const auto head = RecordFileHeader{}.Encode();
    Bytes bytes(head.begin(), head.end());
    Append(bytes, {0xFF, 0xFF});
    bytes.insert(bytes.end(), prefix.begin(), prefix.end());
    // The next record, of an 8-byte frame, past 4 GiB: bitmap, length and end mark.
    const std::uint64_t next = 82 + 25 + std::uint64_t{0xFFFF'FFFF};
    const auto path = test_support::WriteSparseRecording(
        folder.Path() / "far.qrn", bytes, next + 25 + 8, 0x1234'5678,
        {{next, kRecordFieldBitmap}, {next + 8, 8}, {next + 21, 0xFFFF'0500}});
    RecordFileReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    ASSERT_EQ(reader.Frames().size(), 1u);
    EXPECT_EQ(reader.Frames()[0].dwOffset, 82u);
    EXPECT_EQ(reader.Frames()[0].record.dwLength, 0xFFFF'FFFFu);
}

// Frames of no bytes take the least room a frame can: such a file is exactly as long as its
// count allows, and its index, over several pieces, is read whole. One entry more claimed than
// there is room for makes it no index, and the walk finds every frame.
TEST_F(RecordFile, AnIndexOfTheLeastSizeIsReadAndOneEntryMoreIsNot) {
    constexpr std::uint32_t kFrames = 20'000;
    RecordFileHeader header;
    header.dwFrameCount = kFrames;
    const auto head = header.Encode();
    Bytes bytes(head.begin(), head.end());
    Append(bytes, {0xFF, 0xFF});
    Bytes index;
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        AppendU32(index, static_cast<std::uint32_t>(bytes.size()));
        AppendU32(index, 0);
        RecordFrameRecord record;
        record.dwSequence = i + 1;
        const auto prefix = record.Encode();
        bytes.insert(bytes.end(), prefix.begin(), prefix.end());
    }
    bytes.insert(bytes.end(), index.begin(), index.end());
    for (const std::uint32_t count : {kFrames, kFrames + 1}) {
        Bytes file = bytes;
        AppendU32(file, count);
        ASSERT_EQ(file.size(), 86 + std::size_t{kFrames} * 33);
        const auto path = folder.Path() / "empty-frames.qrn";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << reader.Error();
        EXPECT_EQ(reader.Indexed(), count == kFrames) << count;
        EXPECT_EQ(reader.Skipped(), 0u) << count;
        ASSERT_EQ(reader.Frames().size(), kFrames) << count;
        EXPECT_EQ(reader.Frames().back().record.dwSequence, kFrames) << count;
    }
}

// A recording cut by a power failure ends wherever the disk got to, in whatever bytes were there.
// At any cut, and under any bytes over its end, every frame the reader lists is a frame as
// written, and every frame whose record still has the next record's prefix behind it plays.
TEST_F(RecordFile, ARecordingCutOrOverwrittenAtItsEndPlaysWhatIsWhole) {
    constexpr std::uint32_t kFrames = 40;
    std::vector<Bytes> frames;
    std::vector<std::uint32_t> stamps;
    std::vector<std::size_t> ends;
    std::size_t at = 82;
    for (std::uint32_t i = 1; i <= kFrames; ++i) {
        frames.push_back(recording_test::NumberedFrame(i, 100 + i * 13));
        stamps.push_back(i);
        at += 25 + frames.back().size();
        ends.push_back(at);
    }
    const Bytes whole = ReadBytes(Write(frames, stamps));
    std::mt19937 random(20261211);
    for (int round = 0; round < 60; ++round) {
        Bytes bytes = whole;
        // Even rounds cut the file, odd ones overwrite its end; the damage starts past the header.
        const std::size_t from =
            std::uniform_int_distribution<std::size_t>(82, whole.size())(random);
        if (round % 2 == 0) {
            bytes.resize(from);
        } else {
            for (std::size_t i = from; i < bytes.size(); ++i) {
                bytes[i] = static_cast<std::uint8_t>(random());
            }
        }
        const auto path = folder.Path() / "cut.qrn";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(path)) << "damage from " << from << ": " << reader.Error();
        std::vector<std::uint32_t> played;
        for (std::size_t i = 0; i < reader.Frames().size(); ++i) {
            const Bytes frame = reader.ReadFrame(i);
            const std::uint32_t id = recording_test::FrameId(frame);
            ASSERT_TRUE(id >= 1 && id <= kFrames && frame == frames[id - 1])
                << "damage from " << from << ", frame " << i;
            played.push_back(id);
        }
        for (std::uint32_t i = 0; i < kFrames && ends[i] + 25 <= from; ++i) {
            EXPECT_NE(std::find(played.begin(), played.end(), i + 1), played.end())
                << "damage from " << from << ": frame " << i + 1 << " is whole";
        }
        EXPECT_TRUE(std::is_sorted(played.begin(), played.end())) << "damage from " << from;
    }
}

// A file whose frames are real but more than memory holds, as a process short of memory sees
// it: the read is refused in words, not ended by the failed allocation.
TEST_F(RecordFile, AFileWhoseFramesDoNotFitInMemoryIsRefusedInWords) {
#if defined(RECORD_TEST_SANITIZER)
    GTEST_SKIP() << "a memory limit cannot be tried under a sanitizer";
#else
    using test_support::LongRecording;
    using test_support::LongRecordingIndex;
    const auto path = LongRecording::Write(folder.Path(), 1'000'000, LongRecordingIndex::Missing);
    const pid_t child = ::fork();
    if (child == 0) {
        std::ifstream status("/proc/self/status");
        long sizeKb = 0;
        for (std::string word; status >> word && word != "VmSize:";) {
        }
        status >> sizeKb;
        // Room for a few pieces of the file, not for a million frames.
        const rlimit limit{static_cast<rlim_t>(sizeKb + 8 * 1024) * 1024,
                           static_cast<rlim_t>(sizeKb + 8 * 1024) * 1024};
        // Nothing thrown may reach the test's own frame: the child would go on with the suite.
        bool refused = false;
        try {
            RecordFileReader reader;
            refused = ::setrlimit(RLIMIT_AS, &limit) == 0 && !reader.Open(path) &&
                      reader.Error().find("memory") != std::string::npos;
        } catch (...) {
        }
        ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

// A read the player no longer wants (its window closed, another file chosen) ends early and
// plays nothing.
TEST_F(RecordFile, AStoppedReadGivesNoFrames) {
    using test_support::LongRecording;
    using test_support::LongRecordingIndex;
    std::stop_source stop;
    stop.request_stop();
    for (const auto index : {LongRecordingIndex::Whole, LongRecordingIndex::Missing}) {
        RecordFileReader reader;
        EXPECT_FALSE(
            reader.Open(LongRecording::Write(folder.Path(), 1'000, index), stop.get_token()));
        EXPECT_TRUE(reader.Frames().empty());
        EXPECT_NE(reader.Error().find("stopped"), std::string::npos) << reader.Error();
    }
}

TEST_F(RecordFile, ReaderRefusesWhatIsNotARecordFile) {
    const auto path = folder.Path() / "other.qrn";
    for (const Bytes& bytes : {Bytes{}, Bytes(82, 0), Bytes(200, 0xFF)}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        RecordFileReader reader;
        EXPECT_FALSE(reader.Open(path)) << bytes.size();
        EXPECT_FALSE(reader.Error().empty());
    }
    RecordFileReader reader;
    EXPECT_FALSE(reader.Open(folder.Path() / "missing.qrn"));
    // Neither waited on nor read without end.
    const auto fifo = folder.Path() / "fifo.qrn";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(fifo));
    EXPECT_FALSE(reader.Open("/dev/zero"));
    EXPECT_FALSE(reader.Open(folder.Path()));
}

// A full disk, as a file-size limit: the write fails and says so, and closing keeps every whole
// frame before it, with header, index and count.
TEST_F(RecordFile, AFailedWriteIsReportedAndTheFramesBeforeItStayIntact) {
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 50'000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    RecordFileWriter writer(kRecordKindManual, FixedTime);
    ASSERT_TRUE(writer.Create(folder.Path(), "USER", {1, 2, 3, 4}, "u"));
    std::vector<Bytes> written;
    bool failed = false;
    for (std::uint32_t i = 1; i <= 10 && !failed; ++i) {
        const Bytes frame = recording_test::NumberedFrame(i, 10'000);
        if (writer.WriteFrame(InfoFor(10'000, i), frame.data())) {
            written.push_back(frame);
        } else {
            failed = true;
        }
    }
    const auto path = writer.Path();
    const bool closed = writer.Close();
    const std::string error = writer.Error();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(failed);
    EXPECT_FALSE(closed);
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    ASSERT_EQ(written.size(), 4u);  // 82 + 4 * 10,025 fits in 50,000; a fifth does not
    std::vector<std::uint32_t> stamps{1, 2, 3, 4};
    ExpectReadBack(path, written, stamps, true);
    EXPECT_EQ(recording_test::U32At(ReadBytes(path), 48), 4u);
}

}  // namespace
