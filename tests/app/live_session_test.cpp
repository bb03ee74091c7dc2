#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <vector>

#include "app/live_session_components.h"
#include "device_emulator.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "recording/record_file.h"
#include "test_support/fake_main_window.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/session_fixture.h"
#include "test_support/temp_folder.h"
#include "ui/message_ids.h"
#include "video/stream_packet_header.h"
#include "video/stream_receiver.h"

namespace {

using Clock = std::chrono::steady_clock;

// The main window's part in the pipeline: painting each frame when the mailbox asks, and noting
// when each painted frame reached it.
class PaintingWindow : public test_support::FakeMainWindow {
public:
    PaintingWindow(LivePipeline& pipeline, test_support::EventLog& log)
        : FakeMainWindow(log), m_pipeline(pipeline) {}
    void DrawFrame() override { m_pipeline.Painter().Paint(); }
    void PresentFrame(std::shared_ptr<const PaintedFrame> frame) override {
        {
            std::lock_guard lock(m_mutex);
            m_presented.push_back(Clock::now());
        }
        FakeMainWindow::PresentFrame(std::move(frame));
    }

    // The longest time between two painted frames.
    std::chrono::milliseconds LongestFrozen() const {
        std::lock_guard lock(m_mutex);
        Clock::duration longest{};
        for (std::size_t i = 1; i < m_presented.size(); ++i) {
            longest = std::max(longest, m_presented[i] - m_presented[i - 1]);
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    }

private:
    LivePipeline& m_pipeline;
    mutable std::mutex m_mutex;
    std::vector<Clock::time_point> m_presented;
};

// The whole session of the program against the emulator: real pipeline, real recorders.
class LiveSessionComponentsTest : public ::testing::Test {
protected:
    LiveSessionComponentsTest() {
        device.Start();
        kernel.Attach(window, window.Handle());
        KernelObject& app = *g_lpApp;
        app.CSettingINI.m_strRecordPath = records.Path().string();
        app.CSettingINI.m_strPassword = "admin";
        // A device with R.E.T.R. on, as the login found it: stream alarms record.
        app.CSettingINI.m_bAlarmTriggerRecord = 1;
        app.CSettingINI.m_bRetrAlarmRecord = 1;
        app.m_DeviceList.Add(0, 1, KLM300_DVR, CDeviceList::kMasterKind);
        app.m_DeviceList.SetRetrState(1);
        SetDeviceAddress("127.0.0.1", device.Port());
        g_szSessionCookie.Set("C00KIE");
        device.Update([](device_emulator::Settings& s) {
            s.identity.check_cookie = false;
            s.state.retr = 1;
            s.stream.frame_rate = 100;
        });
        resources.emplace(components);
    }

    std::vector<std::filesystem::path> AlarmFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(records.Path())) {
            if (entry.path().filename().string().rfind("ALARM", 0) == 0) {
                files.push_back(entry.path());
            }
        }
        return files;
    }

    test_support::ProgramKernel kernel;
    test_support::TempFolder records;
    test_support::RecordingMessageSink messages;
    test_support::EventLog log;
    device_emulator::DeviceEmulator device;
    LiveSessionComponents components;
    PaintingWindow window{components.Pipeline(), log};
    std::optional<test_support::SessionResources> resources;
};

TEST_F(LiveSessionComponentsTest, AnAlarmFileStartsWithThePreAlarmFrames) {
    // 40 quiet frames, then the alarm. At a rate every build keeps up with: frames a slow build
    // cannot take at once wait in the socket buffers, and the alarm would reach it seconds late.
    device.Update([](device_emulator::Settings& s) {
        s.stream.frame_rate = 10;
        s.stream.alarm_bits = device_emulator::kAlarm1Bit;
        s.stream.alarm_on_frames = 0;
    });
    platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent);
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("PresentFrame") >= 40; }));
    // The alarm lasts until the recording is under way and a few frames of it are shown, however
    // slowly this machine runs the stream.
    device.Update(
        [](device_emulator::Settings& s) { s.stream.presence |= device_emulator::kAlarm1Bit; });
    ASSERT_TRUE(test_support::PumpUntil([&] { return components.Recorders().AlarmItemPending(); }));
    const long shown = log.Count("PresentFrame");
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("PresentFrame") >= shown + 10; }));
    device.Update(
        [](device_emulator::Settings& s) { s.stream.presence &= ~device_emulator::kAlarm1Bit; });
    // The recording holds on a few seconds after the alarm's end, then its file is finished.
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return components.Recorders().m_AlarmRecord.m_fAlarmItemPending == 0; }));
    const auto files = AlarmFiles();
    ASSERT_EQ(files.size(), 1u);
    recording::RecordFileReader reader;
    ASSERT_TRUE(reader.Open(files[0])) << reader.Error();
    // The twenty frames before the alarm lead the file, then the frames of the alarm.
    ASSERT_GT(reader.Frames().size(), 20u);
    const auto first = reader.ReadFrame(0);
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(first[0], 0xFF);
    EXPECT_EQ(first[1], 0xD8);
    const std::uint32_t firstTime = reader.Frames()[0].record.dwTimeStamp;
    const std::uint32_t lastTime = reader.Frames().back().record.dwTimeStamp;
    EXPECT_LT(firstTime, lastTime);
}

// An alarm that flaps with every frame of the stream (a bouncing input, a flickering motion
// detection) makes one recording and one list entry, not one for each flicker.
TEST_F(LiveSessionComponentsTest, AFlappingAlarmMakesOneRecording) {
    device.Update([](device_emulator::Settings& s) {
        s.stream.frame_rate = 10;
        s.stream.alarm_bits = device_emulator::kAlarm1Bit;
        s.stream.alarm_on_frames = 1;
        s.stream.alarm_off_frames = 1;
    });
    platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent);
    ASSERT_TRUE(test_support::PumpUntil([&] { return !AlarmFiles().empty(); }));
    const long shown = log.Count("PresentFrame");
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("PresentFrame") >= shown + 40; }));
    device.Update([](device_emulator::Settings& s) { s.stream.alarm_on_frames = 0; });
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return components.Recorders().m_AlarmRecord.m_fAlarmItemPending == 0; }));
    const auto files = AlarmFiles();
    ASSERT_EQ(files.size(), 1u);
    recording::RecordFileReader reader;
    ASSERT_TRUE(reader.Open(files[0])) << reader.Error();
    EXPECT_TRUE(reader.Indexed());
    EXPECT_GE(reader.Frames().size(), 40u);
    SystemConfig list;
    list.LoadAlarmDatabase(g_lpApp->CSettingINI.m_strProgramPath);
    ASSERT_EQ(list.Items().size(), 1u);
    EXPECT_EQ(list.Items()[0].strFilePath, files[0].string());
    EXPECT_EQ(list.Items()[0].dwFrames, reader.Frames().size());
}

struct LieCase {
    std::uint32_t length;
    double frameRate;
};

// A packet whose length field lies, once, in a healthy stream: the session is back with live
// video as after a dropped connection, whatever the length (it once skipped the stream for
// length over rate), and the picture bytes read as a header (a zero length) start no alarm
// recording. Each case prints the longest time the picture stood still.
class OutOfStepStream : public LiveSessionComponentsTest,
                        public ::testing::WithParamInterface<LieCase> {};

TEST_P(OutOfStepStream, ComesBackWithLiveVideoAndRecordsNothing) {
    const LieCase c = GetParam();
    device.Update([&](device_emulator::Settings& s) {
        s.stream.frame_rate = c.frameRate;
        s.stream.false_length = c.length;
        s.stream.false_length_frame = static_cast<std::uint64_t>(2 * c.frameRate);
    });
    platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent);
    ASSERT_TRUE(test_support::PumpUntil([] { return GetStreamState() == kStreamBroken; }));
    // A new connection starts its frame count from 0 before it sends its request.
    ASSERT_TRUE(test_support::PumpUntil([&] {
        return device.Requests("/Getvideo.cgi").size() == 2 && g_lpApp->m_dwFramesShown > 2;
    }));
    const auto frozen = window.LongestFrozen();
    RecordProperty("longest_frozen_ms", static_cast<int>(frozen.count()));
    std::cout << "length 0x" << std::hex << c.length << std::dec << " at " << c.frameRate
              << " fps: the picture stood still " << frozen.count() << " ms at the longest\n";

    EXPECT_TRUE(AlarmFiles().empty());
    EXPECT_FALSE(std::filesystem::exists(kernel.Folder() / "AlarmData.dat"));
    EXPECT_FALSE(std::filesystem::exists(records.Path() / "AlarmData.dat"));
}

INSTANTIATE_TEST_SUITE_P(Lengths, OutOfStepStream,
                         ::testing::Values(LieCase{0, 25}, LieCase{100, 25}, LieCase{0x80001, 5},
                                           LieCase{0x80001, 25}, LieCase{0x100000, 5},
                                           LieCase{0x100000, 25}, LieCase{0x17ffff, 5},
                                           LieCase{0x17ffff, 25}, LieCase{0x7fffffff, 25},
                                           LieCase{0xffffffff, 5}, LieCase{0xffffffff, 25}));

struct OutOfStepAgainCase {
    const char* name;
    std::uint64_t framesFirst;  // frames each stream brings before it loses its step
};

// A device whose stream lost its step at every reconnect was logged in again and again with no
// word why: at once when the stream had brought no frame first, every 4.4 s for ever when it had
// brought a few. From the second stream out of step on, whatever each brought first, the session
// says why and waits as after a refusal. The program's clock runs ten times as fast, the
// device's frames come as fast as they are read, and the count of logins over 150 s of the
// program's clock is printed.
class OutOfStepAgain : public LiveSessionComponentsTest,
                       public ::testing::WithParamInterface<OutOfStepAgainCase> {};

TEST_P(OutOfStepAgain, SaysWhyAndWaitsWhateverCameBefore) {
    constexpr std::uint32_t kSpanMs = 150'000;
    TraceLogInit(300, kernel.Folder().string() + "/");
    platform::SetClockSpeed(10.0);
    device.Update([](device_emulator::Settings& s) {
        s.stream.frame_rate = 0;
        s.stream.picture = device_emulator::PictureSize{176, 112};
        s.stream.false_length = 0xffffffff;
        s.stream.false_length_frame = GetParam().framesFirst;
        s.stream.false_length_every_stream = true;
    });
    const std::uint32_t start = platform::GetTickCount();
    platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent);
    const std::string text =
        "The device's video stream is out of step (a payload length beyond any frame). Trying "
        "again in 28 s";
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("Status " + text) == 1; }))
        << ::testing::PrintToString(log.Events());
    EXPECT_EQ(device.Requests("/Getvideo.cgi").size(), 2u);
    // Every later stream out of step waits too: the count is not started again by a stream that
    // brought frames.
    ASSERT_TRUE(test_support::PumpUntil([&] { return platform::GetTickCount() - start >= kSpanMs; },
                                        60'000));
    const std::size_t logins = device.Requests("/Login.cgi").size();
    std::cout << GetParam().name << ": " << logins << " logins in " << kSpanMs / 1000
              << " s of the program's clock\n";
    EXPECT_GE(log.Count("Status " + text), 2);
    // The first login is the test's own start; each wait of 28 s and 2 s allows one more.
    EXPECT_LE(logins, std::size_t{kSpanMs / 30'000 + 1});
    TraceLogFlush();
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string traced{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(traced.find(text), std::string::npos) << traced;
}

INSTANTIATE_TEST_SUITE_P(Streams, OutOfStepAgain,
                         ::testing::Values(OutOfStepAgainCase{"AtOnce", 0},
                                           OutOfStepAgainCase{"AfterTenFrames", 10}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ReconnectCase {
    const char* name;
    std::function<void(device_emulator::Settings&)> fault;
    std::uint8_t choice;  // the user's "Alarm Trigger Record"
};

// A reconnect once turned alarm recording off for the rest of the session and saved it so, and
// a login turned the user's "off" back on. Whatever takes the session through the re-login, an
// alarm after it makes its one file, or none when the user chose so, and the choice stays.
class AlarmAfterAReconnect : public LiveSessionComponentsTest,
                             public ::testing::WithParamInterface<ReconnectCase> {};

TEST_P(AlarmAfterAReconnect, RecordsAsTheUserChose) {
    const ReconnectCase& c = GetParam();
    KernelObject& app = *g_lpApp;
    app.CSettingINI.m_bAlarmTriggerRecord = c.choice;
    // The re-login's pauses and the stalled stream's time-out pass faster.
    platform::SetClockSpeed(5.0);
    // Small pictures, each encoded once, so that a sanitizer build keeps up with 50 frames a
    // second.
    device.Update([&](device_emulator::Settings& s) {
        s.stream.frame_rate = 50;
        s.stream.picture = device_emulator::PictureSize{176, 112};
        s.stream.distinct_pictures = 10;
        c.fault(s);
    });
    platform::SetEvent(app.h_StartToGetJpegImageEvent);
    // The fault at frame 100, the re-login, and the alarm from frame 300.
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return device.Requests("/Getvideo.cgi").size() == 2 && app.m_dwFramesShown >= 200; },
        60'000));
    device.Update(
        [](device_emulator::Settings& s) { s.stream.presence |= device_emulator::kAlarm1Bit; });
    const long shown = log.Count("PresentFrame");
    ASSERT_TRUE(test_support::PumpUntil(
        [&] {
            return log.Count("PresentFrame") >= shown + 25 &&
                   (c.choice == 0 || components.Recorders().AlarmItemPending());
        },
        60'000));
    device.Update(
        [](device_emulator::Settings& s) { s.stream.presence &= ~device_emulator::kAlarm1Bit; });
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return components.Recorders().m_AlarmRecord.m_fAlarmItemPending == 0; }, 60'000));
    const std::size_t files = AlarmFiles().size();
    std::cout << c.name << ": " << files << " record file(s), Alarm Trigger Record="
              << int(app.CSettingINI.m_bAlarmTriggerRecord) << "\n";
    EXPECT_EQ(files, std::size_t{c.choice});
    EXPECT_EQ(app.CSettingINI.m_bAlarmTriggerRecord, c.choice);
    EXPECT_EQ(app.m_DeviceList.GetState(), 1);
}

void DropAtFrame100(device_emulator::Settings& s) {
    s.stream.frame_limit = 100;
    s.stream.frame_limit_once = true;
}

const ReconnectCase kReconnectCases[] = {
    {"drop", DropAtFrame100, 1},
    {"drop, no alarm recording chosen", DropAtFrame100, 0},
    {"lying length",
     [](device_emulator::Settings& s) {
         s.stream.false_length = 0x100000;
         s.stream.false_length_frame = 100;
     },
     1},
    {"stall",
     [](device_emulator::Settings& s) {
         DropAtFrame100(s);
         s.stream.end = device_emulator::StreamEnd::Stall;
     },
     1},
    {"refusal",
     [](device_emulator::Settings& s) { s.faults["/Getvideo.cgi"] = {.status = 401, .times = 1}; },
     1},
};

INSTANTIATE_TEST_SUITE_P(Faults, AlarmAfterAReconnect, ::testing::ValuesIn(kReconnectCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char ch : std::string(info.param.name)) {
                                 if (std::isalnum(static_cast<unsigned char>(ch))) {
                                     name += ch;
                                 }
                             }
                             return name;
                         });

// One alarm, on all the while, across three drops of the stream: the recording goes on in one
// file through each reconnect (the device is back well within the hold), and the alarm list gets
// one entry. The program's clock runs at half speed, so a slow build's reconnect stays within the
// hold.
TEST_F(LiveSessionComponentsTest, AnAlarmAcrossDropsMakesOneRecording) {
    constexpr std::size_t kDrops = 3;
    constexpr std::uint64_t kFramesPerStream = 50;
    KernelObject& app = *g_lpApp;
    platform::SetClockSpeed(0.5);
    device.Update([&](device_emulator::Settings& s) {
        s.stream.frame_rate = 25;
        s.stream.picture = device_emulator::PictureSize{176, 112};
        s.stream.distinct_pictures = 10;
        s.stream.presence |= device_emulator::kAlarm1Bit;
        s.stream.frame_limit = kFramesPerStream;
        s.stream.frame_limit_once = true;
    });
    platform::SetEvent(app.h_StartToGetJpegImageEvent);
    for (std::size_t drop = 1; drop <= kDrops; ++drop) {
        ASSERT_TRUE(test_support::PumpUntil(
            [&] { return device.Requests("/Getvideo.cgi").size() == drop + 1; }, 60'000));
        if (drop < kDrops) {
            device.Update([&](device_emulator::Settings& s) {
                s.stream.frame_limit = kFramesPerStream;
                s.stream.frame_limit_once = true;
            });
        }
    }
    const long shown = log.Count("PresentFrame");
    ASSERT_TRUE(
        test_support::PumpUntil([&] { return log.Count("PresentFrame") >= shown + 25; }, 60'000));
    const auto shownInTheAlarm = static_cast<std::size_t>(log.Count("PresentFrame"));
    device.Update(
        [](device_emulator::Settings& s) { s.stream.presence &= ~device_emulator::kAlarm1Bit; });
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return components.Recorders().m_AlarmRecord.m_fAlarmItemPending == 0; }, 60'000));

    const auto files = AlarmFiles();
    ASSERT_EQ(files.size(), 1u);
    recording::RecordFileReader reader;
    ASSERT_TRUE(reader.Open(files[0])) << reader.Error();
    // Every frame shown in the alarm, of every stream, is in it.
    EXPECT_GE(reader.Frames().size(), shownInTheAlarm);
    SystemConfig list;
    list.LoadAlarmDatabase(app.CSettingINI.m_strProgramPath);
    ASSERT_EQ(list.Items().size(), 1u);
    EXPECT_EQ(list.Items()[0].dwFrames, reader.Frames().size());
}

// A stream refused for a reason other than too many users says so, not "too many user".
TEST_F(LiveSessionComponentsTest, AStreamRefusedWith401SaysSoAndWhenItTriesAgain) {
    device.Update([](device_emulator::Settings& s) { s.stream.refuse_status = 401; });
    platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent);
    const std::string text =
        "Status The device refused the video stream (status 401). Trying again in 28 s";
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count(text) == 1; }))
        << ::testing::PrintToString(log.Events());
    EXPECT_EQ(log.Count("Message " + std::to_string(ui::WM_SHOWSTATUS) + " 7"), 0);
}

}  // namespace
