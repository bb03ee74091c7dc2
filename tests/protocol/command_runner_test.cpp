#include "protocol/command_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"

namespace {

// The owner's thread is the test's: posted results wait in a queue until Deliver runs them.
class CommandRunnerTest : public ::testing::Test {
protected:
    ~CommandRunnerTest() override { platform::JoinAllThreads(); }

    // Runs what the runner posted, waiting up to `wait` for the first of it.
    int Deliver(std::chrono::milliseconds wait = std::chrono::seconds(2)) {
        const auto end = std::chrono::steady_clock::now() + wait;
        std::deque<std::function<void()>> calls;
        while (calls.empty() && std::chrono::steady_clock::now() < end) {
            {
                std::lock_guard lock(m_mutex);
                calls.swap(m_posted);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        for (auto& call : calls) {
            call();
        }
        return static_cast<int>(calls.size());
    }

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;
    CommandRunner runner{[this](std::function<void()> call) {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(call));
    }};
};

TEST_F(CommandRunnerTest, ResultsArriveOnTheOwnersThreadOneCommandAtATime) {
    const std::thread::id owner = std::this_thread::get_id();
    std::thread::id worker;
    int result = 0;
    ASSERT_TRUE(runner.Start<int>(
        [&worker] {
            worker = std::this_thread::get_id();
            return 42;
        },
        [&result, owner](int value) {
            EXPECT_EQ(std::this_thread::get_id(), owner);
            result = value;
        }));
    EXPECT_TRUE(runner.Busy());
    EXPECT_FALSE(runner.Start([] {})) << "a second command waits for the first one's result";
    ASSERT_EQ(Deliver(), 1);
    EXPECT_EQ(result, 42);
    EXPECT_NE(worker, owner);
    EXPECT_FALSE(runner.Busy());

    // The next command runs on the same thread: one runner, not a thread per command.
    std::thread::id second;
    ASSERT_TRUE(runner.Start([&second] { second = std::this_thread::get_id(); }));
    ASSERT_EQ(Deliver(), 1);
    EXPECT_EQ(second, worker);
}

TEST_F(CommandRunnerTest, CancelWakesTheWaitingCommandAndDropsItsResult) {
    std::atomic<bool> sleeping{false};
    bool woke = false;
    bool delivered = false;
    ASSERT_TRUE(runner.Start(
        [&] {
            sleeping = true;
            woke = !platform::Sleep(60'000);
        },
        [&delivered] { delivered = true; }));
    // The cancel must find the command in its sleep, not before it began.
    while (!sleeping) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    runner.Cancel();
    EXPECT_TRUE(woke) << "the sleep ended early because of the cancel";
    EXPECT_FALSE(runner.Busy());
    Deliver(std::chrono::milliseconds(200));
    EXPECT_FALSE(delivered);

    // The runner serves again.
    ASSERT_TRUE(runner.Start([] {}, [&delivered] { delivered = true; }));
    ASSERT_EQ(Deliver(), 1);
    EXPECT_TRUE(delivered);
}

}  // namespace
