#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "app_fakes.h"
#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "kernel/mailbox.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/device_reply.h"
#include "protocol/login.h"
#include "protocol/relogin_thread.h"
#include "test_support/process_usage.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/session_fixture.h"
#include "test_support/silent_name_server.h"
#include "ui/message_ids.h"

namespace {

// A session against the device emulator whose re-login thread is the real one; the stream
// threads are stand-ins that log what they are asked to do.
class Reconnect : public ::testing::Test {
protected:
    Reconnect() {
        device.Start();
        kernel.Attach(window, window.Handle());
        SetDeviceAddress("127.0.0.1", device.Port());
        g_lpApp->CSettingINI.m_strPassword = "admin";
        components.reLogin = [] { return LoginThread(); };
        resources.emplace(components);
        // Fast enough for the long back-off waits, slow enough that the scaled reply time-outs
        // hold for a loopback device on a loaded machine under ThreadSanitizer.
        platform::SetClockSpeed(10.0);
    }

    // The status codes posted so far, in order.
    std::vector<int> StatusCodes() {
        ui::ProcessPostedMessages();
        const std::string prefix = "Message " + std::to_string(ui::WM_SHOWSTATUS) + " ";
        std::vector<int> codes;
        for (const std::string& e : log.Events()) {
            if (e.rfind(prefix, 0) == 0) {
                codes.push_back(std::stoi(e.substr(prefix.size())));
            }
        }
        return codes;
    }

    test_support::ProgramKernel kernel;
    test_support::RecordingMessageSink messages;
    device_emulator::DeviceEmulator device;
    test_support::EventLog log;
    test_support::FakeSessionComponents components{log};
    test_support::FakeMainWindow window{log};
    std::optional<test_support::SessionResources> resources;
};

TEST_F(Reconnect, RetriesWhileTheDeviceRefusesThenRebuildsTheSession) {
    device.SetListening(false);
    // The receive thread's report of a broken stream.
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    ASSERT_TRUE(test_support::PumpUntil([&] { return StatusCodes().size() >= 6; }));
    const std::vector<int> refused = StatusCodes();
    EXPECT_EQ(std::vector<int>(refused.begin(), refused.begin() + 6),
              (std::vector<int>{1, 3, 0, 6, 1, 3}));
    EXPECT_EQ(log.Count("GetImage ended"), 1);  // the old session was torn down

    device.SetListening(true);
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("GetImage streaming") == 1; }))
        << ::testing::PrintToString(log.Events());
    const auto codes = StatusCodes();
    EXPECT_EQ(codes.back(), 5);
    EXPECT_EQ(log.Count("GetImage started"), 2);  // rebuilt
    EXPECT_GE(log.IndexOf("ReapplyLayout"), 0);
    EXPECT_EQ(g_lpApp->w_LoginResult, 30);
    EXPECT_EQ(g_lpApp->m_DeviceList.GetMasterType(), KLM300_DVR);
    // Its work done, the re-login thread ends and lets go of its handle.
    EXPECT_TRUE(test_support::PumpUntil([] { return !g_lpApp->h_ReLoginThread; }));
}

// A re-login leaves the one set of session threads and handles it found: once the new stream
// runs, the process has the threads and descriptors it had before the old one broke.
TEST_F(Reconnect, AReLoginLeavesNoThreadOrDescriptorBehind) {
    const long threads = test_support::ProcessThreadCount();
    const long descriptors = test_support::ProcessDescriptorCount();
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("GetImage streaming") == 1; }))
        << ::testing::PrintToString(log.Events());
    // The device's side of the old connections ends when it notices them closed.
    EXPECT_TRUE(test_support::PumpUntil([&] {
        return test_support::ProcessThreadCount() <= threads &&
               test_support::ProcessDescriptorCount() <= descriptors;
    })) << "threads "
        << test_support::ProcessThreadCount() << " of " << threads << ", descriptors "
        << test_support::ProcessDescriptorCount() << " of " << descriptors;
}

TEST_F(Reconnect, TooManyUsersWaitsLonger) {
    device.Update([](auto& s) { s.identity.max_users = 1; });
    ASSERT_EQ(SendLoginRequest("guest", "guest"), LoginOutcome::LoggedIn);  // the one allowed
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    ASSERT_TRUE(test_support::PumpUntil([&] { return StatusCodes().size() >= 5; }));
    const std::vector<int> codes = StatusCodes();
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 5),
              (std::vector<int>{1, 7, 3, 0, 6}));
    EXPECT_EQ(g_lpApp->w_LoginResult, 102);
}

// A stream refused for too many users is told with that text and logs in again after its pause.
TEST_F(Reconnect, AStreamRefusedForTooManyUsersWaitsAsALoginRefusedSo) {
    g_lpApp->m_wStreamRefusedStatus = 202;
    g_lpApp->m_fStreamRefused = 1;
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
    ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("GetImage streaming") == 1; }))
        << ::testing::PrintToString(log.Events());
    const std::vector<int> codes = StatusCodes();
    EXPECT_EQ(codes, (std::vector<int>{1, 7, 3, 0, 6, 1, 5}));
    EXPECT_EQ(g_lpApp->m_fStreamRefused, 0);
}

// A refusal for another reason than too many users is not shown as that: the user reads what the
// device did and when the next try comes, and the session comes up after the same pause, without
// the texts of a failed login.
TEST_F(Reconnect, AStreamRefusedForAnotherReasonSaysSoAndWhenItTriesAgain) {
    struct Case {
        std::uint16_t status;
        const char* text;
    };
    const Case cases[] = {
        {401, "Status The device refused the video stream (status 401). Trying again in 28 s"},
        {0, "Status The device refused the video stream. Trying again in 28 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        log.Clear();
        g_lpApp->m_wStreamRefusedStatus = c.status;
        g_lpApp->m_fStreamRefused = 1;
        ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
        ASSERT_TRUE(test_support::PumpUntil([&] { return log.Count("GetImage streaming") == 1; }))
            << ::testing::PrintToString(log.Events());
        EXPECT_EQ(StatusCodes(), (std::vector<int>{1, 1, 5}));
        EXPECT_EQ(log.Count(c.text), 1) << ::testing::PrintToString(log.Events());
        EXPECT_LT(log.IndexOf(c.text), log.IndexOf("GetImage streaming"));
    }
}

TEST_F(Reconnect, AStopEndsTheThreadInItsLongWait) {
    platform::SetClockSpeed(1.0);
    device.SetListening(false);
    g_lpApp->h_ReLoginThread = platform::StartThread([] { return LoginThread(); });
    ASSERT_TRUE(
        test_support::PumpUntil([&] { return StatusCodes().size() >= 2; }));  // in its 3 s wait
    EXPECT_EQ(platform::StopThread(g_lpApp->h_ReLoginThread, 30), 0u);
}

TEST_F(Reconnect, AStopEndsTheThreadInANameLookupThatNeverAnswers) {
    platform::SetClockSpeed(1.0);
    test_support::SilentNameServer nameServer;
    SetDeviceAddress("dvr.example", device.Port());
    g_lpApp->h_ReLoginThread = platform::StartThread([] { return LoginThread(); });
    nameServer.WaitForLookups(1);
    EXPECT_EQ(platform::StopThread(g_lpApp->h_ReLoginThread, 1'000), 0u);
}

TEST(DeviceInfo, RetrMakesOneType19MasterWhateverTheLinkedDeviceSaid) {
    g_lpApp = new KernelObject;
    const DeviceInfoReply reply = ParseDeviceInfoReply(
        "LINKDEVICE=3;RETR=1;SLAVENUM=1;SID=5;STYPE=1;SPROTOCOL=1;LIFETIME=4294967295;");
    FillDeviceList(reply);
    StoreDeviceInfo(reply);
    CDeviceList& list = g_lpApp->m_DeviceList;
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entry(0).bDeviceType, KLM300_DVR);
    EXPECT_EQ(list.Entry(1).bDeviceType, PTZ_PELCO);
    EXPECT_EQ(list.Entry(1).dwBaudRate, 2400u);
    EXPECT_EQ(list.GetState(), 1);
    EXPECT_EQ(g_lpApp->m_dwLifeTime, 0xFFFFFFFFu);
    delete g_lpApp;
    g_lpApp = nullptr;
}

}  // namespace
