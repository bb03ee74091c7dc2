#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <functional>
#include <thread>

#include "recorder_harness.h"

namespace {

using namespace recording;
using namespace recording_test;

using Ring = RecorderSession;

TEST_F(Ring, PushesNeverBlockWithoutARecordingAndTheFillCountStopsAt21) {
    Push(0, 20);
    EXPECT_EQ(set.m_PreAlarmRing.m_wWriteIndex, 0);
    EXPECT_EQ(set.m_PreAlarmRing.NewestSlot(), 19);
    EXPECT_EQ(FrameId(Bytes(set.m_PreAlarmRing.Frame(0), set.m_PreAlarmRing.Frame(0) + 4)), 0u);
    Push(20, 1);
    EXPECT_EQ(FrameId(Bytes(set.m_PreAlarmRing.Frame(0), set.m_PreAlarmRing.Frame(0) + 4)), 20u);
    Push(21, 30);
    EXPECT_EQ(set.m_AlarmRecord.m_wRingFillCount, 21);

    const PreAlarmFrameInfo info = set.m_PreAlarmRing.Info(set.m_PreAlarmRing.NewestSlot());
    EXPECT_EQ(info.dwFrameNumber, 0u);
    EXPECT_EQ(info.dwFrameSize, 64u);
    EXPECT_EQ(info.dwMagic, kFrameInfoMagic);
    EXPECT_EQ(info.dwTimeStamp, 50u * 5);
    EXPECT_EQ(info.wWidth, 320);
    EXPECT_EQ(info.wHeight, 240);
    EXPECT_NE(info.stCaptureTime.wYear, 0);
    EXPECT_EQ(info.stCaptureTime.wDayOfWeek, 0);
}

TEST_F(Ring, AFrameLargerThanASlotIsRefusedAndASlotSizedOneFitsWhole) {
    const Bytes big = NumberedFrame(1, kPreAlarmSlotSize + 1);
    EXPECT_EQ(set.PushPreAlarmFrame(big.data(), kPreAlarmSlotSize + 1, 0), 0u);
    EXPECT_EQ(set.m_PreAlarmRing.m_wWriteIndex, 0);
    EXPECT_EQ(set.m_AlarmRecord.m_wRingFillCount, 0);

    // Through the alarm and the user recorder at once, which both write it whole.
    set.m_UserRecord.StartRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    set.m_AlarmRecord.StartRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(7, 2, kPreAlarmSlotSize);
    set.StopAllRecording();
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    for (const auto& file : files) {
        EXPECT_EQ(FrameIds(file), Range(7, 2)) << file;
        RecordFileReader reader;
        ASSERT_TRUE(reader.Open(file));
        EXPECT_EQ(reader.ReadFrame(1), NumberedFrame(8, kPreAlarmSlotSize));
    }
}

// The push's waits end with the session, and a new session starts with fresh counts.
TEST_F(Ring, APushHeldUpByARecorderEndsWithTheSession) {
    ASSERT_EQ(platform::WaitForObject(set.m_UserRecord.h_FreeSem, 0), platform::kWaitObject0);
    std::atomic<std::uint32_t> result{99};
    std::thread compose([&] {
        const Bytes frame = NumberedFrame(1, 16);
        result = set.PushPreAlarmFrame(frame.data(), 16, 0);
    });
    platform::Sleep(50);
    EXPECT_EQ(result, 99u);
    platform::SetEvent(g_lpApp->h_EndofGetJpegImageEvent);
    compose.join();
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(set.m_PreAlarmRing.m_wWriteIndex, 0) << "nothing stored";

    EndSession();
    BeginSession();
    Push(1, 3);
}

using AlarmRecorder = RecorderSession;

TEST_F(AlarmRecorder, BeginsWithThePreAlarmFramesOldestFirst) {
    struct Case {
        std::uint32_t before;  // frames pushed before the alarm
        std::vector<std::uint32_t> expected;
    };
    // The frame that wakes the recorder is the newest of the pre-alarm frames.
    const Case cases[] = {{5, Range(0, 8)}, {25, Range(6, 22)}};
    for (const Case& c : cases) {
        Push(0, c.before);
        ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
        EXPECT_TRUE(set.AlarmItemPending());
        ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
        Push(c.before, 3);
        set.StopAlarmRecord();
        EXPECT_FALSE(set.AlarmItemPending()) << "the alarm ended; its recording holds";
        set.m_AlarmRecord.StopRecord();
        const auto files = RecordFiles();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(FrameIds(files[0]), c.expected) << c.before << " frames before";
        std::filesystem::remove(files[0]);
        EndSession();
        BeginSession();
    }
}

TEST_F(AlarmRecorder, AfterAReconnectTheFileHoldsOnlyThisSessionsFrames) {
    Push(100, 13);  // the first session leaves the ring's index at 13
    EndSession();
    BeginSession();
    Push(0, 4);
    set.StartAlarmRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(4, 2);
    set.m_AlarmRecord.StopRecord();
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FrameIds(files[0]), Range(0, 6));
}

TEST_F(AlarmRecorder, EachFinishedFileGetsItsOwnAlarmDataEntry) {
    for (int alarm = 0; alarm < 2; ++alarm) {
        set.StartAlarmRecord(records.Path().string());
        ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
        Push(10 * alarm, 2);
        set.m_AlarmRecord.StopRecord();
    }
    const auto files = RecordFiles();
    const auto entries = AlarmEntries();
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(entries.size(), 2u);
    // The second alarm begins with the first one's frames, still in the ring.
    EXPECT_EQ(FrameIds(files[0]), Range(0, 2));
    EXPECT_EQ(FrameIds(files[1]), (std::vector<std::uint32_t>{0, 1, 10, 11}));
    EXPECT_EQ(entries[0].dwFrames, 2u);
    EXPECT_EQ(entries[1].dwFrames, 4u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(entries[i].strFilePath, files[i].string());
        EXPECT_EQ(entries[i].strAddress, "192.168.1.10");
        EXPECT_GE(entries[i].wYear, 2024) << "the second alarm is dated too";
        EXPECT_GE(entries[i].wMonth, 1);
    }
    // Names carry the session cookie's first characters, made safe for a file name.
    EXPECT_NE(files[0].filename().string().find("ALARM_MJPEG_"), std::string::npos);
    EXPECT_NE(files[0].filename().string().find("_Ab1-.qrn"), std::string::npos)
        << files[0].filename();
    // The names carry the second the recording began: a second file of the same second is told
    // apart by a number, one of a later second needs none.
    const std::string first = files[0].stem().string();
    const std::string second = files[1].filename().string();
    if (second.starts_with(first)) {
        EXPECT_EQ(second, first + "_1.qrn") << "same second, new name";
    } else {
        EXPECT_TRUE(second.ends_with("_Ab1-.qrn")) << second;
    }
}

// Pushes frames until the alarm recording's hold has run out and the recorder is done with it.
void PushUntilClosed(RecorderSet& set, std::uint32_t& next) {
    for (int i = 0; i < 2'000 && set.m_AlarmRecord.m_fAlarmItemPending != 0; ++i) {
        const Bytes frame = NumberedFrame(next++, 64);
        set.PushPreAlarmFrame(frame.data(), 64, 0);
    }
}

// An alarm that flaps, on for one frame and off for the next, as the stream parser reports it:
// one recording, led once by the pre-alarm frames and holding every frame from there on, with one
// list entry. Once the alarm stays off for the hold, the recording ends; the next alarm begins a
// recording of its own.
TEST_F(AlarmRecorder, AnAlarmThatComesBackWithinTheHoldGoesOnInTheSameRecording) {
    Push(0, 25);
    ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    // While the alarm flaps no hold may run out, however slowly this machine goes.
    platform::SetClockSpeed(0.001);
    std::uint32_t next = 25;
    for (int flap = 0; flap < 50; ++flap) {
        Push(next++, 1);
        EXPECT_TRUE(set.AlarmItemPending());
        EXPECT_EQ(set.StopAlarmRecord(), 1u);
        EXPECT_FALSE(set.AlarmItemPending()) << "the alarm ended: the parser may start again";
        Push(next++, 1);
        EXPECT_EQ(set.StartAlarmRecord(records.Path().string()), 1u) << "the same recording";
    }
    EXPECT_EQ(RecordFiles().size(), 1u);
    set.StopAlarmRecord();
    const std::uint32_t lastOfTheAlarm = next;
    platform::SetClockSpeed(1'000);
    PushUntilClosed(set, next);
    ASSERT_EQ(set.m_AlarmRecord.m_fAlarmItemPending, 0u) << "the hold ran out";
    EXPECT_TRUE(set.m_AlarmRecord.RecordFilePath().empty());
    EXPECT_FALSE(set.AlarmItemPending());
    platform::SetClockSpeed(1);

    auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    const auto ids = FrameIds(files[0]);
    // The twenty frames before the alarm, then every frame, the hold's among them.
    ASSERT_GE(ids.size(), lastOfTheAlarm - 6);
    EXPECT_EQ(ids, Range(6, static_cast<std::uint32_t>(ids.size())));
    auto entries = AlarmEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].dwFrames, ids.size());
    EXPECT_EQ(entries[0].strFilePath, files[0].string());

    ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(next, 2);
    set.m_AlarmRecord.StopRecord();
    files = RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(FrameIds(files[1]).back(), next + 1);
    EXPECT_EQ(AlarmEntries().size(), 2u);
}

// An alarm list that cannot be read (here a folder stands in its place) is left alone; the
// recordings are kept, and the user hears once a session that they are missing from the list.
TEST_F(AlarmRecorder, AListThatTakesNoEntryIsReportedOnceASession) {
    std::filesystem::create_directory(program.Path() / "AlarmData.dat");
    for (int session = 0; session < 2; ++session) {
        for (std::uint32_t alarm = 0; alarm < 2; ++alarm) {
            ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
            ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
            Push(10 * alarm, 2);
            set.m_AlarmRecord.StopRecord();
        }
        EndSession();
        BeginSession();
    }
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 4u);
    EXPECT_TRUE(std::filesystem::is_directory(program.Path() / "AlarmData.dat"));
    const auto boxes = messages.Texts();
    ASSERT_EQ(boxes.size(), 2u) << "once a session";
    EXPECT_NE(boxes[0].find(files[0].string()), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("AlarmData.dat"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find(files[2].string()), std::string::npos) << boxes[1];
}

TEST_F(AlarmRecorder, CookieCharactersOutsideTheSafeSetBecomeUnderscores) {
    cookie = "a/.\\";
    set.StartAlarmRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(0, 1);
    set.m_AlarmRecord.StopRecord();
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].parent_path(), records.Path());
    EXPECT_NE(files[0].filename().string().find("_a___.qrn"), std::string::npos)
        << files[0].filename();
}

TEST_F(AlarmRecorder, StopAndAStartAfterItEndTheSessionsAlarmRecording) {
    set.StartAlarmRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(0, 2);
    set.m_AlarmRecord.Stop();
    EXPECT_EQ(set.StartAlarmRecord(records.Path().string()), 0u);
    EXPECT_EQ(RecordFiles().size(), 1u);
    EXPECT_FALSE(set.m_AlarmRecord.ThreadRunning() && set.m_AlarmRecord.m_fRecording);
    EndSession();
    BeginSession();
    EXPECT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
}

struct DropCase {
    const char* name;
    // Sets the clock for the time between the drop and the stream's return; true when the
    // stream is back within the hold.
    std::function<bool()> afterDrop;
};

// An alarm cut by a dropped stream once ended its recording at the drop, and the alarm, still on
// when the stream came back, began a new file without pre-alarm frames: one alarm cut by three
// drops made four files. The recording goes on through the drop as through an alarm's end: in
// the same file when the alarm is back within the hold, else in a file of its own.
class AlarmAcrossADrop : public AlarmRecorder, public ::testing::WithParamInterface<DropCase> {};

TEST_P(AlarmAcrossADrop, GoesOnInTheSameRecordingOnlyWithinTheHold) {
    Push(0, 25);
    ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(25, 3);
    set.StopAlarmAndScheduleRecording();
    EXPECT_EQ(set.StartAlarmRecord(records.Path().string()), 0u) << "not in the broken session";
    EndSession();
    const bool goesOn = GetParam().afterDrop();
    BeginSession();
    if (goesOn) {
        ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    } else {
        // The next session's thread finishes the old file; then the alarm gets a new one.
        std::uint32_t spare = 1'000;
        PushUntilClosed(set, spare);
        ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    }
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(40, 3);
    set.m_AlarmRecord.StopRecord();
    platform::SetClockSpeed(1);

    const auto files = RecordFiles();
    const auto entries = AlarmEntries();
    ASSERT_EQ(files.size(), goesOn ? 1u : 2u);
    ASSERT_EQ(entries.size(), files.size());
    // The twenty frames before the alarm and the alarm's frames up to the drop, then, in the
    // same file or the next, those after it.
    auto ids = Range(6, 22);
    if (goesOn) {
        ids.insert(ids.end(), {40, 41, 42});
    } else {
        EXPECT_EQ(FrameIds(files[1]).back(), 42u);
    }
    EXPECT_EQ(FrameIds(files[0]), ids);
    EXPECT_EQ(entries[0].dwFrames, ids.size());
}

const DropCase kDropCases[] = {
    {"BackWithinTheHold",
     [] {
         platform::SetClockSpeed(0.01);
         return true;
     }},
    {"BackAfterTheHold",
     [] {
         platform::SetClockSpeed(1'000);
         platform::Sleep(CAlarmRecord::kAlarmHoldMs);
         platform::SetClockSpeed(1);
         return false;
     }},
};

INSTANTIATE_TEST_SUITE_P(Drops, AlarmAcrossADrop, ::testing::ValuesIn(kDropCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The window closes while the stream is down: the recording held for the next session is
// finished and listed.
TEST_F(AlarmRecorder, AClosingWindowFinishesARecordingHeldAcrossADrop) {
    ASSERT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(0, 3);
    set.StopAlarmAndScheduleRecording();
    EndSession();
    EXPECT_FALSE(set.m_AlarmRecord.RecordFilePath().empty()) << "held for the next session";
    set.StopAllRecording();
    EXPECT_TRUE(set.m_AlarmRecord.RecordFilePath().empty());
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FrameIds(files[0]), Range(0, 3));
    ASSERT_EQ(AlarmEntries().size(), 1u);
    BeginSession();
}

// A schedule file's frame ids, checking its numbering, index and count.
std::vector<std::uint32_t> ScheduleFrameIds(const std::filesystem::path& path) {
    const Bytes b = ReadBytes(path);
    if (b.size() < ScheduleRecordHeader::kSize + 4) {
        ADD_FAILURE() << path << " is too short";
        return {};
    }
    const std::uint32_t count = U32At(b, b.size() - 4);
    const std::size_t indexStart = b.size() - 4 - 8 * std::size_t{count};
    EXPECT_EQ(ScheduleRecordHeader::Decode(b.data()).dwFrameCount, count);
    std::vector<std::uint32_t> ids;
    std::size_t offset = ScheduleRecordHeader::kSize;
    for (std::uint32_t k = 0; k < count && offset + PreAlarmFrameInfo::kSize <= indexStart; ++k) {
        EXPECT_EQ(U32At(b, indexStart + 8 * k), offset);
        EXPECT_EQ(U32At(b, indexStart + 8 * k + 4), kJpegFrameType);
        const PreAlarmFrameInfo info = PreAlarmFrameInfo::Decode(&b[offset]);
        EXPECT_EQ(info.dwFrameNumber, k + 1);
        ids.push_back(U32At(b, offset + PreAlarmFrameInfo::kSize));
        offset += PreAlarmFrameInfo::kSize + info.dwFrameSize;
    }
    EXPECT_EQ(offset, indexStart);
    return ids;
}

// Runs a schedule row from a minute ago to an hour from now, and wakes the recorder's poll.
std::uint32_t StartScheduleRecording(RecorderSet& set) {
    const std::time_t now = std::time(nullptr);
    set.m_SchRecord.AddScheduleEntry({now - 60, now + 3'600, 1});
    g_lpApp->h_TimerEvent = platform::CreateEventObject(false, false);
    set.m_SchRecord.CreateThread();
    return platform::SetEvent(g_lpApp->h_TimerEvent) ? 1 : 0;
}

// The 6,000-frame limit, for the three recorders.
struct RollOverCase {
    const char* name;
    std::uint32_t (*start)(RecorderSet&, const std::string&);
    void (*stop)(RecorderSet&);
    RecorderHandover& (*recorder)(RecorderSet&);
    const char* extension;
    std::uint32_t firstFrameOffset;
    std::uint32_t recordPrefix;
};

class RollOver : public RecorderSession, public ::testing::WithParamInterface<RollOverCase> {
protected:
    std::vector<std::uint32_t> Ids(const std::filesystem::path& path) {
        return GetParam().extension == std::string(".qr4") ? ScheduleFrameIds(path)
                                                           : FrameIds(path);
    }
};

TEST_P(RollOver, The6001stFrameBeginsASecondFile) {
    const RollOverCase& c = GetParam();
    ASSERT_EQ(c.start(set, records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(c.recorder(set)));
    Push(1, 6'003, 4);
    c.stop(set);
    const auto files = RecordFiles(c.extension);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(Ids(files[0]), Range(1, 6'000));
    EXPECT_EQ(Ids(files[1]), Range(6'001, 3));
    const Bytes second = ReadBytes(files[1]);
    const std::size_t index = second.size() - 4 - 3 * 8;
    EXPECT_EQ(U32At(second, index), c.firstFrameOffset);
    EXPECT_EQ(U32At(second, index + 8), c.firstFrameOffset + c.recordPrefix + 4);
}

INSTANTIATE_TEST_SUITE_P(
    Recorders, RollOver,
    ::testing::Values(
        RollOverCase{
            "Alarm", [](RecorderSet& s, const std::string& p) { return s.StartAlarmRecord(p); },
            [](RecorderSet& s) { s.m_AlarmRecord.StopRecord(); },
            [](RecorderSet& s) -> RecorderHandover& { return s.m_AlarmRecord; }, ".qrn", 82, 25},
        RollOverCase{
            "User",
            [](RecorderSet& s, const std::string& p) { return s.m_UserRecord.StartRecord(p); },
            [](RecorderSet& s) { s.m_UserRecord.StopRecord(); },
            [](RecorderSet& s) -> RecorderHandover& { return s.m_UserRecord; }, ".qrn", 82, 25},
        RollOverCase{"Schedule",
                     [](RecorderSet& s, const std::string&) { return StartScheduleRecording(s); },
                     [](RecorderSet& s) { s.m_SchRecord.Stop(); },
                     [](RecorderSet& s) -> RecorderHandover& { return s.m_SchRecord; }, ".qr4", 96,
                     56}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlarmRecorder, ARollOverFilesTheClosedFileAndDatesTheNewOne) {
    set.StartAlarmRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    Push(1, 6'001, 4);
    set.m_AlarmRecord.StopRecord();
    const auto files = RecordFiles();
    const auto entries = AlarmEntries();
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].strFilePath, files[0].string());
    EXPECT_EQ(entries[0].dwFrames, 6'000u);
    EXPECT_EQ(entries[1].strFilePath, files[1].string());
    EXPECT_EQ(entries[1].dwFrames, 1u);
    EXPECT_GE(entries[1].wYear, 2024);
}

// An empty recording is no recording: neither an empty file nor an entry in the alarm list.
TEST_F(Ring, AStopBeforeTheFirstFrameLeavesNoFileAndNoEntry) {
    EXPECT_EQ(set.StartAlarmRecord(records.Path().string()), 1u);
    EXPECT_EQ(set.m_UserRecord.StartRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_AlarmRecord));
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    EXPECT_EQ(RecordFiles().size(), 2u);
    set.StopAllRecording();
    EXPECT_TRUE(RecordFiles().empty());
    EXPECT_TRUE(AlarmEntries().empty());
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_FALSE(set.AlarmItemPending());
}

using ScheduleRecorder = RecorderSession;

TEST_F(ScheduleRecorder, RecordsWhileARowRunsIntoAScheduleFile) {
    g_lpApp->m_bRecordMode = 0;
    ASSERT_EQ(StartScheduleRecording(set), 1u);
    ASSERT_TRUE(WaitRecording(set.m_SchRecord));
    Push(1, 5, 32);
    set.m_SchRecord.Stop();
    EXPECT_FALSE(set.m_SchRecord.m_fRecording);
    const auto files = RecordFiles(".qr4");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().starts_with("SCH_MJPEG_"));
    EXPECT_EQ(ScheduleFrameIds(files[0]), Range(1, 5));
    const Bytes bytes = ReadBytes(files[0]);
    const ScheduleRecordHeader header = ScheduleRecordHeader::Decode(bytes.data());
    EXPECT_EQ(header.dwFrameCount, 5u);
    EXPECT_EQ(header.abAddress, (std::array<std::uint8_t, 4>{192, 168, 1, 10}));
    EXPECT_EQ(header.byMode, kScheduleHeaderMode);
    EXPECT_EQ(header.dwMagic, kScheduleMagicMode0);
    EXPECT_GE(header.stCaptureTime.wYear, 2024);
    EXPECT_GE(header.dwLastSeconds, header.dwStartSeconds);
    EXPECT_EQ(PreAlarmFrameInfo::Decode(&bytes[96]).dwTimeStamp, 5u);
}

TEST_F(ScheduleRecorder, RowsAreAddedAtTheEndAndMoveUpWhenOneIsRemoved) {
    CSchRecord& schedule = set.m_SchRecord;
    for (std::time_t row = 0; row < 10; ++row) {
        EXPECT_TRUE(schedule.AddScheduleEntry({row, row + 1, 1}));
    }
    EXPECT_FALSE(schedule.AddScheduleEntry({99, 100, 1}));
    EXPECT_TRUE(schedule.RemoveScheduleEntry(3));
    EXPECT_FALSE(schedule.RemoveScheduleEntry(9));
    const auto rows = schedule.ScheduleEntries();
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[2].tmStart, 2);
    EXPECT_EQ(rows[3].tmStart, 4);
    EXPECT_EQ(rows[8].tmStart, 9);
    EXPECT_TRUE(schedule.AddScheduleEntry({99, 100, 1}));
}

using UserRecorder = RecorderSession;

TEST_F(UserRecorder, ARecordingGoesOnInTheSameFileAfterASessionBreak) {
    ASSERT_EQ(set.m_UserRecord.StartRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    Push(1, 3);
    EndSession();
    EXPECT_TRUE(set.m_UserRecord.IsRecording());
    BeginSession();
    Push(50, 2);  // before the re-login resumes the recording: not recorded
    EXPECT_EQ(set.m_UserRecord.StartRecord(records.Path().string()), 0u) << "one is pending";
    ASSERT_EQ(set.m_UserRecord.ResumeRecord(), 1u);
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    Push(4, 4);
    set.m_UserRecord.StopRecord();
    EXPECT_FALSE(set.m_UserRecord.IsRecording());
    EXPECT_EQ(set.m_UserRecord.ResumeRecord(), 0u);
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FrameIds(files[0]), Range(1, 7));
}

TEST_F(UserRecorder, AStopWithNoThreadClosesTheFileOnTheCallersThread) {
    set.m_UserRecord.StartRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    Push(1, 3);
    EndSession();
    set.m_UserRecord.StopRecord();
    EXPECT_FALSE(set.m_UserRecord.IsRecording());
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FrameIds(files[0]), Range(1, 3));
    BeginSession();
}

TEST_F(UserRecorder, TwoRecordingsInOneSecondGetTwoFiles) {
    for (std::uint32_t i = 0; i < 2; ++i) {
        set.m_UserRecord.StartRecord(records.Path().string());
        ASSERT_TRUE(WaitRecording(set.m_UserRecord));
        Push(10 * i, 2);
        set.m_UserRecord.StopRecord();
    }
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(FrameIds(files[0]), Range(0, 2));
    EXPECT_EQ(FrameIds(files[1]), Range(10, 2));
}

// A full disk, as a file-size limit on the process: the recording stops, says so in the status
// line and in a box that names the file and the reason, and its file keeps every frame written
// before the failure. A recording that can write nothing at all leaves no file.
TEST_F(UserRecorder, AFullDiskEndsTheRecordingWithAReportAndAnIntactFile) {
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    set.m_UserRecord.StartRecord(records.Path().string());
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    struct rlimit limited = old;
    limited.rlim_cur = 100'000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    Push(1, 12, 10'000);
    const bool stopped = WaitRecording(set.m_UserRecord, false);
    // RECORD again on the full disk: not even the header fits.
    const auto before = RecordFiles();
    limited.rlim_cur = 50;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    ASSERT_EQ(set.m_UserRecord.StartRecord(records.Path().string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    Push(13, 1, 10'000);
    const bool stoppedAgain = WaitRecording(set.m_UserRecord, false);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(stoppedAgain);
    EXPECT_EQ(RecordFiles(), before) << "an empty recording leaves no file";

    EXPECT_TRUE(stopped);
    EXPECT_FALSE(set.m_UserRecord.IsRecording());
    EXPECT_EQ(set.m_UserRecord.LastFailure(), kWriteRecordFileFailed);
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{kWriteRecordFileFailed, kWriteRecordFileFailed}));
    const auto boxes = messages.Texts();
    ASSERT_EQ(boxes.size(), 2u);
    for (const std::string& box : boxes) {
        EXPECT_TRUE(box.starts_with(kWriteRecordFileFailed)) << box;
        EXPECT_NE(box.find(records.Path().string() + "/USER_MJPEG_"), std::string::npos) << box;
        EXPECT_NE(box.find("File too large"), std::string::npos) << box;
    }
    EXPECT_NE(boxes[0].find("the 9 frames written before are kept"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find("no file was kept"), std::string::npos) << boxes[1];
    // The thread tells the window after it has closed the file.
    for (int i = 0; i < 2'000 && status.ButtonImages().empty(); ++i) {
        platform::Sleep(1);
    }
    for (int i = 0; i < 2'000 && status.ButtonImages().size() < 2; ++i) {
        platform::Sleep(1);
    }
    EXPECT_EQ(status.ButtonImages(),
              (std::vector<std::pair<int, int>>{{kRecordButtonId, 0}, {kRecordButtonId, 0}}))
        << "the record button no longer shows a recording";
    Push(20, 3);  // the pipeline goes on
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FrameIds(files[0]), Range(1, 9));  // 82 + 9 x 10,025 bytes fit in 100,000
}

// A record folder that cannot exist (a file stands where one of its parents would be): both
// recorders say so, in the status line and in a box naming the file and the reason; the alarm
// recorder's box comes once a session.
TEST_F(UserRecorder, AFileThatCannotBeCreatedIsReported) {
    std::ofstream(records.Path() / "blocker") << "a file, not a folder";
    const std::string unusable = (records.Path() / "blocker" / "records").string();
    EXPECT_EQ(set.m_UserRecord.StartRecord(unusable), 0u);
    EXPECT_FALSE(set.m_UserRecord.IsRecording());
    EXPECT_EQ(set.m_UserRecord.LastFailure(), kCreateRecordFileFailed);
    for (int alarm = 0; alarm < 2; ++alarm) {
        EXPECT_EQ(set.StartAlarmRecord(unusable), 0u);
        EXPECT_TRUE(set.AlarmItemPending()) << "no second try while this alarm lasts";
        EXPECT_EQ(set.StartAlarmRecord(records.Path().string()), 0u);
        set.StopAlarmRecord();
        EXPECT_FALSE(set.AlarmItemPending());
    }
    EXPECT_EQ(status.Texts().size(), 3u);
    const auto boxes = messages.Texts();
    ASSERT_EQ(boxes.size(), 2u);
    for (const std::string& box : boxes) {
        EXPECT_TRUE(box.starts_with(kCreateRecordFileFailed)) << box;
        EXPECT_NE(box.find(unusable + "/"), std::string::npos) << box;
        EXPECT_NE(box.find("Not a directory"), std::string::npos) << box;
    }
    Push(1, 2);
}

// A record folder whose parents are missing too is made, parents and all, when a recording
// starts in it.
TEST_F(UserRecorder, AMissingRecordFolderIsMadeWithItsParents) {
    const auto folder = records.Path() / "a" / "b" / "c";
    ASSERT_EQ(set.m_UserRecord.StartRecord(folder.string()), 1u);
    ASSERT_TRUE(WaitRecording(set.m_UserRecord));
    Push(1, 2);
    set.m_UserRecord.StopRecord();
    const auto files = FilesIn(folder, ".qrn");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FrameIds(files[0]), Range(1, 2));
    EXPECT_TRUE(messages.Texts().empty());
}

}  // namespace
