#include "login/login_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "test_support/pump.h"
#include "ui/message_ids.h"

namespace {

TEST(ParseWebPort, AcceptsOnlyTcpPorts) {
    const struct {
        const char* text;
        std::optional<std::uint16_t> port;
    } cases[] = {
        {"80", 80},       {"  8080", 8080}, {"+81", 81},   {"443x", 443},
        {"65535", 65535}, {"65536", {}},    {"70000", {}}, {"4294967376", {}},
        {"0", {}},        {"-80", {}},      {"", {}},      {"http", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseWebPort(c.text), c.port) << c.text;
    }
}

class TickWindow : public ui::MessageWindow {
public:
    bool OnMessage(std::uint32_t msg, ui::WPARAM, ui::LPARAM lParam) override {
        if (msg == ui::WM_LOGINANIMATE && lParam == 4) {
            ++ticks;
        }
        return true;
    }
    int ticks = 0;
};

TEST(AnimateThread, TicksUntilItsStopEventThenEnds) {
    platform::SetClockSpeed(20.0);
    TickWindow window;
    const platform::Handle stop = platform::CreateEventObject(false, false);
    platform::HandleField thread;
    thread = platform::StartThread(
        [&] { return LoginThreads::AnimateThreadProc(window.Handle(), 4, stop); });
    test_support::PumpUntil([&] { return window.ticks >= 3; }, 10'000);
    EXPECT_GE(window.ticks, 3);
    platform::SetEvent(stop);
    EXPECT_EQ(platform::WaitForObject(thread, 1000), platform::kWaitObject0);
    EXPECT_EQ(platform::StopThread(thread, 30), 0u);
    platform::CloseObject(stop);
    platform::SetClockSpeed(1.0);
}

}  // namespace
