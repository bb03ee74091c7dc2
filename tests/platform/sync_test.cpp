#include "platform/sync.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "test_support/process_usage.h"
#include "test_support/silent_name_server.h"

namespace platform {
namespace {

TEST(Sync, AutoResetEventWakesOneWaitThenResets) {
    const Handle e = CreateEventObject(false, false);
    EXPECT_EQ(WaitForObject(e, 0), kWaitTimeout);
    SetEvent(e);
    EXPECT_EQ(WaitForObject(e, 0), kWaitObject0);
    EXPECT_EQ(WaitForObject(e, 0), kWaitTimeout);
    CloseObject(e);
}

TEST(Sync, ManualResetEventStaysSignalledUntilReset) {
    const Handle e = CreateEventObject(true, true);
    EXPECT_EQ(WaitForObject(e, 0), kWaitObject0);
    EXPECT_EQ(WaitForObject(e, 0), kWaitObject0);
    ResetEvent(e);
    EXPECT_EQ(WaitForObject(e, 0), kWaitTimeout);
    CloseObject(e);
}

TEST(Sync, SemaphoreReleasePastMaximumFailsAndKeepsCount) {
    const Handle s = CreateSemaphoreObject(1, 2);
    std::int32_t previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(s, 1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(ReleaseSemaphore(s, 1));
    EXPECT_EQ(WaitForObject(s, 0), kWaitObject0);
    EXPECT_EQ(WaitForObject(s, 0), kWaitObject0);
    EXPECT_EQ(WaitForObject(s, 0), kWaitTimeout);
    EXPECT_FALSE(CreateSemaphoreObject(3, 2));
    CloseObject(s);
}

TEST(Sync, WaitOnSeveralTakesLowestSignalledIndexOnly) {
    const Handle a = CreateEventObject(false, false);
    const Handle b = CreateSemaphoreObject(1, 1);
    const Handle c = CreateEventObject(false, true);
    const std::array handles{a, b, c};
    EXPECT_EQ(WaitForAnyObject(handles, 0), kWaitObject0 + 1);
    // c was not consumed by the first wait.
    EXPECT_EQ(WaitForAnyObject(handles, 0), kWaitObject0 + 2);
    EXPECT_EQ(WaitForAnyObject(handles, 0), kWaitTimeout);
    for (Handle h : handles) {
        CloseObject(h);
    }
}

TEST(Sync, NullOrClosedHandleFailsAtOnce) {
    EXPECT_EQ(WaitForObject(Handle{}, kInfinite), kWaitFailed);
    const Handle e = CreateEventObject(false, false);
    CloseObject(e);
    EXPECT_EQ(WaitForObject(e, kInfinite), kWaitFailed);
    EXPECT_FALSE(SetEvent(e));
}

TEST(Sync, ClosingAHandleWakesAWaitUnderWay) {
    HandleField e;
    e = CreateEventObject(false, false);
    std::atomic<std::uint32_t> result{0};
    HandleField waiter;
    waiter = StartThread([&] {
        result = WaitForObject(e, kInfinite);
        return 0u;
    });
    Sleep(50);
    CloseObject(e);
    EXPECT_EQ(StopThread(waiter, 2000), 0u);
    EXPECT_EQ(result.load(), kWaitFailed);
    EXPECT_FALSE(e);
}

TEST(Sync, CreationFailureInjection) {
    FailObjectCreationAfter(1);
    const Handle ok = CreateEventObject(false, false);
    const Handle failed = CreateSemaphoreObject(0, 1);
    const Handle again = CreateEventObject(false, false);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(failed);
    EXPECT_TRUE(again);
    CloseObject(ok);
    CloseObject(again);
}

TEST(Thread, StopWakesEveryKindOfBlockingWait) {
    const Handle never = CreateEventObject(true, false);
    test_support::SilentNameServer nameServer;
    struct Case {
        const char* name;
        ThreadProc proc;
    };
    const Case cases[] = {
        {"wait", [&] { return WaitForObject(never, kInfinite) == kWaitFailed ? 7u : 1u; }},
        {"sleep", [] { return Sleep(kInfinite) ? 1u : 7u; }},
        {"long sleep", [] { return Sleep(3'600'000) ? 1u : 7u; }},
        {"name lookup", [] { return ResolveIPv4("dvr.example") ? 1u : 7u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandleField thread;
        thread = StartThread(c.proc);
        Sleep(20);
        EXPECT_EQ(StopThread(thread, 2000), 7u);
        EXPECT_FALSE(thread);
    }
    CloseObject(never);
}

TEST(Thread, ThreadThatMissesItsDeadlineIsRecordedWith31AndStillJoined) {
    std::atomic<bool> finished{false};
    HandleField thread;
    thread = StartThread([&] {
        // Busy work that does not look at the stop request.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        finished = true;
        return 0u;
    });
    EXPECT_EQ(StopThread(thread, 10), kLateStopExitCode);
    EXPECT_TRUE(finished.load());
}

TEST(Thread, AThreadStuckPastTheGraceIsLeftToEndOnItsOwn) {
    SetClockSpeed(100.0);
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    HandleField thread;
    thread = StartThread([&] {
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        finished = true;
        return 0u;
    });
    EXPECT_EQ(StopThread(thread, 10), kLateStopExitCode);
    EXPECT_FALSE(thread);
    EXPECT_FALSE(finished.load());
    release = true;
    JoinAllThreads();
    EXPECT_TRUE(finished.load());
    SetClockSpeed(1.0);
}

// Nothing else happens in the platform layer meanwhile, so nothing else would reap it.
TEST(Thread, AThreadWhoseHandleIsClosedLeavesNothingBehindWhenItEnds) {
    const Handle go = CreateEventObject(false, false);
    // ThreadSanitizer's runtime starts a thread of its own with the process's first thread: let
    // that happen before counting.
    std::thread([] {}).join();
    const long threads = test_support::ProcessThreadCount();
    const long descriptors = test_support::ProcessDescriptorCount();
    const Handle thread = StartThread([go] {
        // Closing the thread's handle does not stop it: it ends when let go.
        WaitForObject(go, kInfinite);
        return 0u;
    });
    ASSERT_TRUE(thread);
    ASSERT_TRUE(CloseObject(thread));
    SetEvent(go);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((RunningThreadCount() != 0 || test_support::ProcessThreadCount() > threads ||
            test_support::ProcessDescriptorCount() > descriptors) &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(RunningThreadCount(), 0u);
    EXPECT_EQ(test_support::ProcessThreadCount(), threads);
    EXPECT_EQ(test_support::ProcessDescriptorCount(), descriptors);
    CloseObject(go);
    JoinAllThreads();
}

TEST(Net, NamesGoToTheResolverAndDottedTextDoesNot) {
    int asked = 0;
    SetNameResolver([&](const std::string& name) -> std::optional<in_addr_t> {
        ++asked;
        return name == "dvr.example" ? std::optional<in_addr_t>(htonl(0x0A000001)) : std::nullopt;
    });
    EXPECT_EQ(ResolveIPv4("dvr.example"), htonl(0x0A000001));
    EXPECT_EQ(ResolveIPv4("other.example"), std::nullopt);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ResolveIPv4("192.168.1.10"), htonl(0xC0A8010A));
    EXPECT_EQ(ResolveIPv4(""), std::nullopt);
    EXPECT_EQ(asked, 2);
    SetNameResolver({});
}

TEST(Thread, HandleIsSignalledWhenTheThreadEnds) {
    const Handle t = StartThread([] { return 5u; });
    EXPECT_EQ(WaitForObject(t, 5000), kWaitObject0);
    EXPECT_EQ(ThreadExitCode(t), 5u);
    CloseObject(t);
    JoinAllThreads();
}

TEST(Thread, StopRequestReachesPollThroughTheStopFd) {
    std::atomic<int> fd{-2};
    HandleField thread;
    thread = StartThread([&] {
        fd = CurrentStopFd();
        while (!StopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 3u;
    });
    while (fd == -2) {
        std::this_thread::yield();
    }
    EXPECT_GE(fd.load(), 0);
    EXPECT_EQ(CurrentStopFd(), -1);
    EXPECT_EQ(StopThread(thread, 2000), 3u);
}

// The caller does not wait: the thread unwinds by itself and its handle still tells how it ended.
TEST(Thread, ARequestedStopLeavesTheHandleToItsOwner) {
    HandleField thread;
    const Handle release = CreateEventObject(true, false);
    thread = StartThread([release] {
        // Blocked until asked to stop; the event is never set.
        return WaitForObject(release, kInfinite) == kWaitFailed && StopRequested() ? 7u : 1u;
    });
    RequestStop(thread);
    EXPECT_EQ(WaitForObject(thread, 5000), kWaitObject0);
    EXPECT_EQ(ThreadExitCode(thread), 7u);
    EXPECT_EQ(StopThread(thread, 0), 7u);
    RequestStop(Handle());
    CloseObject(release);
}

TEST(Clock, FastClockShortensWaitsAndAdvancesTicks) {
    SetClockSpeed(100.0);
    const std::uint32_t before = GetTickCount();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Sleep(2000));
    const auto real = std::chrono::steady_clock::now() - start;
    const std::uint32_t elapsed = GetTickCount() - before;
    SetClockSpeed(1.0);
    EXPECT_LT(real, std::chrono::milliseconds(1000));
    EXPECT_GE(elapsed, 2000u);
}

}  // namespace
}  // namespace platform
