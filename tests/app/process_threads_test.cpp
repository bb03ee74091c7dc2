#include "app/process_threads.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "app_fakes.h"
#include "kernel/kernel_object.h"
#include "kernel/mailbox.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/session_fixture.h"
#include "ui/message_ids.h"

namespace {

using platform::kWaitObject0;
using platform::kWaitTimeout;

// A running session: kernel object, buffers, semaphores, process and login resources, with the
// fakes in place of the stream threads, recorders and main window.
class Session : public ::testing::Test {
protected:
    Session() {
        kernel.Attach(window, window.Handle());
        resources.emplace(components);
    }

    // Delivers posted window messages until `event` is logged or the time runs out.
    bool PumpUntil(const std::string& event, int timeoutMs = 10'000) {
        return test_support::PumpUntil([&] { return log.Count(event) > 0; }, timeoutMs);
    }

    test_support::ProgramKernel kernel;
    test_support::RecordingMessageSink messages;
    test_support::EventLog log;
    test_support::FakeSessionComponents components{log};
    test_support::FakeMainWindow window{log};
    std::optional<test_support::SessionResources> resources;
};

TEST_F(Session, ShowFrameIsServedAfterATimeOutThatIsUnderWay) {
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    // Blocks until code 1 has been served and its slot freed.
    ASSERT_TRUE(PostKernelMessage(KMSG_SHOW_FRAME, 0, 0));
    ASSERT_TRUE(log.WaitFor("DrawFrame"));
    const long stopRecorders = log.IndexOf("StopAlarmAndSchedule");
    const long tornDown = log.IndexOf("StopRecorders");
    const long button = log.IndexOf("ButtonImage 1002 1");
    const long draw = log.IndexOf("DrawFrame");
    EXPECT_LT(stopRecorders, tornDown);
    EXPECT_LT(tornDown, button);
    EXPECT_LT(button, draw);
    EXPECT_TRUE(log.WaitFor("ReLogin"));
    EXPECT_EQ(log.Count("GetImage ended"), 1);
    // The tear-down released the session's semaphores.
    EXPECT_FALSE(g_lpApp->h_FreeSocketBufferSem);
    EXPECT_FALSE(g_lpApp->h_GetJpegImageThread);
}

TEST_F(Session, RebuildRestoresFullFreeCountsAndTheSessionThreads) {
    ASSERT_EQ(platform::WaitForObject(g_lpApp->h_FreeSocketBufferSem, 0), kWaitObject0);
    ASSERT_EQ(platform::ReleaseSemaphore(g_lpApp->h_FilledSocketBufferSem), true);
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    ASSERT_TRUE(log.WaitFor("ReLogin"));
    // What the re-login thread does once it has logged in again.
    platform::SetEvent(g_lpApp->h_Process_Notify_InitEvent);
    ASSERT_EQ(platform::WaitForObject(g_lpApp->h_Process_Reply_InitEvent, 10'000), kWaitObject0);
    EXPECT_TRUE(log.WaitFor("GetImage started", 2));
    int free = 0;
    while (platform::WaitForObject(g_lpApp->h_FreeSocketBufferSem, 0) == kWaitObject0) {
        ++free;
    }
    EXPECT_EQ(free, 4);
    EXPECT_EQ(platform::WaitForObject(g_lpApp->h_FilledSocketBufferSem, 0), kWaitTimeout);
}

TEST_F(Session, AlarmSoundCodesReloadAndStop) {
    const platform::Handle oldStop = platform::CreateEventObject(false, false);
    g_lpApp->h_StopAlarmWavEvent = oldStop;
    components.alarmWaveLoads = false;
    ASSERT_TRUE(PostKernelMessage(KMSG_PLAY_ALARM_SOUND, 0, 0));
    ASSERT_TRUE(PostKernelMessage(KMSG_NONE, 0, 0));  // returns once code 4 is done
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Load alarm audio file is failed"});
    EXPECT_EQ(g_lpApp->h_StopAlarmWavEvent.Get(), oldStop);

    components.alarmWaveLoads = true;
    ASSERT_TRUE(PostKernelMessage(KMSG_PLAY_ALARM_SOUND, 0, 0));
    ASSERT_TRUE(PostKernelMessage(KMSG_NONE, 0, 0));
    EXPECT_NE(g_lpApp->h_StopAlarmWavEvent.Get(), oldStop);
    EXPECT_EQ(components.lastPlayEvent, g_lpApp->h_PlayAlarmWavEvent.Get());
    EXPECT_EQ(log.Count("LoadAlarmWave " + g_lpApp->CSettingINI.m_strTriggerWavPath.Get()), 2);

    g_lpApp->m_fAlarmWavPlaying = 1;
    ASSERT_TRUE(PostKernelMessage(KMSG_STOP_ALARM_SOUND, 0, 0));
    ASSERT_TRUE(PostKernelMessage(KMSG_NONE, 0, 0));
    EXPECT_EQ(g_lpApp->m_fAlarmWavPlaying, 0u);
    EXPECT_EQ(platform::WaitForObject(g_lpApp->h_StopAlarmWavEvent, 0), kWaitObject0);
}

TEST_F(Session, ReleaseChainsCanRunTwice) {
    EXPECT_EQ(ExitLoginResource(components), 1u);
    EXPECT_EQ(ExitProcessResource(), 1u);
    EXPECT_EQ(ExitLoginResource(components), 1u);
    EXPECT_EQ(ExitProcessResource(), 1u);
    EXPECT_EQ(FreeSystemBuffer(components), 1u);
    EXPECT_EQ(FreeSystemBuffer(components), 1u);
    EXPECT_EQ(FreeSemaphore(components), 1u);
    EXPECT_EQ(FreeSemaphore(components), 1u);
    EXPECT_EQ(log.Count("StopRecorders"), 2);
    EXPECT_FALSE(g_lpApp->h_Process_KernelMessageThread);
    EXPECT_FALSE(g_lpApp->m_lpSocketBuffer);
}

TEST_F(Session, ShutDownDoesNotWaitForADispatcherThatHasEnded) {
    // The re-login thread cannot be made: the dispatcher frees its slot and ends.
    platform::FailObjectCreationAfter(0);
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    ASSERT_EQ(platform::WaitForObject(g_lpApp->h_Process_KernelMessageThread, 10'000),
              kWaitObject0);
    platform::FailObjectCreationAfter(-1);
    EXPECT_EQ(log.Count("ReLogin"), 0);
    // One more post fills the slot nobody empties; the next one gives up.
    EXPECT_TRUE(PostKernelMessage(KMSG_SHOW_FRAME, 0, 0));
    EXPECT_FALSE(PostKernelMessage(KMSG_SHOW_FRAME, 0, 0, 50));
    EXPECT_EQ(ExitProcessResource(), 1u);
    EXPECT_FALSE(g_lpApp->h_KernelMessageFreeSem);
}

TEST_F(Session, SenderBlockedOnAFullMailboxEndsWhenStopped) {
    // Fill the slot while the dispatcher is gone.
    platform::StopThread(g_lpApp->h_Process_KernelMessageThread, 1'000);
    ASSERT_TRUE(PostKernelMessage(KMSG_SHOW_FRAME, 0, 0));
    platform::HandleField sender;
    sender =
        platform::StartThread([] { return PostKernelMessage(KMSG_SHOW_FRAME, 0, 0) ? 1u : 0u; });
    EXPECT_EQ(platform::WaitForObject(sender, 100), kWaitTimeout);
    EXPECT_EQ(platform::StopThread(sender, 2'000), 0u);
}

class LifeTime : public Session {
protected:
    void StartSessionCount(std::uint32_t minutes) {
        g_lpApp->m_dwLifeTime = minutes;
        platform::SetClockSpeed(200.0);
        platform::SetEvent(g_lpApp->h_StartConnectionThreadEvent);
    }
    // Waits run on the sped-up clock, where 5 s last 25 ms: too short for a thread to end on a
    // loaded machine. This bound is 1 s of real time.
    static constexpr std::uint32_t kThreadEndWait = 200'000;
    const std::string kExpired = "Message " + std::to_string(ui::WM_LIFETIMEEXPIRED) + " 0";
};

TEST_F(LifeTime, TwoMinutesEndTheSession) {
    StartSessionCount(2);
    ASSERT_TRUE(PumpUntil(kExpired));
    EXPECT_EQ(g_lpApp->m_dwLifeTimeSeconds, 120u);
    const long closeRequested = log.IndexOf("GetImage close requested");
    const long cleared = log.IndexOf("ClearFrameTexts");
    const long status = log.IndexOf("Status Life time is Up.Application shutdown later");
    EXPECT_GE(closeRequested, 0);
    EXPECT_LT(closeRequested, cleared);
    EXPECT_LT(cleared, status);
    EXPECT_LT(status, log.IndexOf(kExpired));
}

TEST_F(LifeTime, UnlimitedEndsRightAfterTheStart) {
    StartSessionCount(0xFFFFFFFF);
    EXPECT_EQ(platform::WaitForObject(g_lpApp->h_ConnectionThread, kThreadEndWait), kWaitObject0);
    EXPECT_FALSE(PumpUntil(kExpired, 100));
    EXPECT_EQ(g_lpApp->m_dwLifeTimeSeconds, 0u);
}

TEST_F(LifeTime, HugeLifeTimeDoesNotWrapIntoAShortSession) {
    // 71,582,789 minutes * 60 is 44 seconds modulo 2^32.
    StartSessionCount(71'582'789);
    for (int i = 0; i < 2000 && g_lpApp->m_dwLifeTimeSeconds < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(g_lpApp->m_dwLifeTimeSeconds, 50u);
    EXPECT_FALSE(PumpUntil(kExpired, 50));
    EXPECT_EQ(log.Count("ClearFrameTexts"), 0);
}

TEST_F(LifeTime, EndEventStopsTheCount) {
    StartSessionCount(2);
    platform::Sleep(5'000);
    platform::SetEvent(g_lpApp->h_EndConnectionThreadEvent);
    EXPECT_EQ(platform::WaitForObject(g_lpApp->h_ConnectionThread, kThreadEndWait), kWaitObject0);
    EXPECT_FALSE(PumpUntil(kExpired, 100));
}

}  // namespace
