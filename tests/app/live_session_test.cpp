#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>

#include "app/live_session_components.h"
#include "device_emulator.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "recording/record_file.h"
#include "test_support/fake_main_window.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/session_fixture.h"
#include "test_support/temp_folder.h"
#include "ui/message_ids.h"
#include "video/stream_receiver.h"

namespace {

// The main window's part in the pipeline: painting each frame when the mailbox asks.
class PaintingWindow : public test_support::FakeMainWindow {
public:
    PaintingWindow(LivePipeline& pipeline, test_support::EventLog& log)
        : FakeMainWindow(log), m_pipeline(pipeline) {}
    void DrawFrame() override { m_pipeline.Painter().Paint(); }

private:
    LivePipeline& m_pipeline;
};

// The whole session of the program against the emulator: real pipeline, real recorders.
class LiveSessionComponentsTest : public ::testing::Test {
protected:
    LiveSessionComponentsTest() {
        device.Start();
        kernel.Attach(window, window.Handle());
        KernelObject& app = *g_lpApp;
        app.CSettingINI.m_strRecordPath = records.Path().string();
        app.CSettingINI.m_bAlarmTriggerRecord = 1;
        app.m_DeviceList.Add(0, 1, KLM300_DVR, CDeviceList::kMasterKind);
        SetDeviceAddress("127.0.0.1", device.Port());
        g_szSessionCookie.Set("C00KIE");
        device.Update([](device_emulator::Settings& s) {
            s.identity.check_cookie = false;
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

// A packet whose length field lies, once, in a healthy stream: the session is back with live
// video within seconds, as after a dropped connection, and the picture bytes read as a header
// (a zero length) start no alarm recording. Each case prints the time from the fault to the first
// frame of the new connection.
class OutOfStepStream : public LiveSessionComponentsTest,
                        public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(OutOfStepStream, ReconnectsWithinSecondsAndRecordsNothing) {
    g_lpApp->CSettingINI.m_strPassword = "admin";
    device.Update([](device_emulator::Settings& s) {
        s.stream.frame_rate = 25;
        s.stream.false_length = GetParam();
        s.stream.false_length_frame = 50;
    });
    platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent);
    ASSERT_TRUE(test_support::PumpUntil([] { return GetStreamState() == kStreamBroken; }));
    const auto fault = std::chrono::steady_clock::now();
    // A new connection starts its frame count from 0 before it sends its request.
    ASSERT_TRUE(test_support::PumpUntil([&] {
        return device.Requests("/Getvideo.cgi").size() == 2 && g_lpApp->m_dwFramesShown > 0;
    }));
    const auto recovered = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - fault);
    RecordProperty("fault_to_live_video_ms", static_cast<int>(recovered.count()));
    std::cout << "length " << GetParam() << ": live video again " << recovered.count()
              << " ms after the fault\n";

    EXPECT_TRUE(AlarmFiles().empty());
    EXPECT_FALSE(std::filesystem::exists(kernel.Folder() / "AlarmData.dat"));
    EXPECT_FALSE(std::filesystem::exists(records.Path() / "AlarmData.dat"));
}

INSTANTIATE_TEST_SUITE_P(Lengths, OutOfStepStream,
                         ::testing::Values(0u, 100u, 0x7fffffffu, 0xffffffffu));

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
