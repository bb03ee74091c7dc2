#pragma once

// A log that fakes write their calls into, and a main window that only records what the threads
// ask of it.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/main_window_link.h"
#include "ui/window_message.h"

namespace test_support {

class EventLog {
public:
    void Add(const std::string& event) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }
    std::vector<std::string> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    long Count(const std::string& event) const {
        const auto events = Events();
        return std::count(events.begin(), events.end(), event);
    }
    // Position of the first occurrence, or -1.
    long IndexOf(const std::string& event) const {
        const auto events = Events();
        const auto it = std::find(events.begin(), events.end(), event);
        return it == events.end() ? -1 : it - events.begin();
    }
    // Waits (real time) until the event has been seen `times` times.
    bool WaitFor(const std::string& event, long times = 1, int timeoutMs = 10'000) const {
        for (int waited = 0; waited < timeoutMs; waited += 5) {
            if (Count(event) >= times) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

class FakeMainWindow : public MainWindowLink, public ui::MessageWindow {
public:
    explicit FakeMainWindow(EventLog& log) : m_log(log) {}

    void DrawFrame() override { m_log.Add("DrawFrame"); }
    void ShowStatusText(const std::string& text) override { m_log.Add("Status " + text); }
    void SetButtonImage(int controlId, int imageIndex) override {
        m_log.Add("ButtonImage " + std::to_string(controlId) + " " + std::to_string(imageIndex));
    }
    void SetButtonTip(int controlId, const std::string& tip) override {
        m_log.Add("ButtonTip " + std::to_string(controlId) + " " + tip);
    }
    void ClearIndicatorText() override { m_log.Add("ClearIndicatorText"); }
    void ReapplyLayout() override { m_log.Add("ReapplyLayout"); }
    void ClearFrameTexts() override { m_log.Add("ClearFrameTexts"); }
    void SwitchLayoutMode(std::uint16_t layoutMode) override {
        m_log.Add("SwitchLayoutMode " + std::to_string(layoutMode));
    }
    void PresentFrame(std::shared_ptr<const PaintedFrame>) override { m_log.Add("PresentFrame"); }
    bool OnMessage(std::uint32_t msg, ui::WPARAM, ui::LPARAM lParam) override {
        m_log.Add("Message " + std::to_string(msg) + " " + std::to_string(lParam));
        return true;
    }

private:
    EventLog& m_log;
};

}  // namespace test_support
