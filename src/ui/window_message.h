#pragma once

// Posted window messages. A worker thread never calls a widget: it posts a message to a window,
// which receives it on the GUI thread through its message table. Posting never blocks, and a
// message to a window that has gone meanwhile is dropped.

#include <cstdint>
#include <iterator>

namespace ui {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// Names a MessageWindow across threads; 0 is no window.
using WindowHandle = std::uint32_t;

class MessageWindow {
public:
    MessageWindow();
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    WindowHandle Handle() const { return m_hWnd; }

    // Called on the GUI thread for each message posted to this window. True when handled.
    virtual bool OnMessage(std::uint32_t msg, WPARAM wParam, LPARAM lParam) = 0;

private:
    WindowHandle m_hWnd;
};

// Queues the message for the window. False when there is no such window or no GUI event loop.
bool PostMessage(WindowHandle window, std::uint32_t msg, WPARAM wParam, LPARAM lParam);

// Delivers every message posted so far (tests, and loops that wait for a worker's answer).
void ProcessPostedMessages();

// A window's message table: one row per message, each naming the member that handles it.
template <class Window>
struct MessageMapEntry {
    std::uint32_t msg;
    void (Window::*handler)(WPARAM, LPARAM);
};

template <class Window, std::size_t N>
bool DispatchMessage(Window& window, const MessageMapEntry<Window> (&map)[N], std::uint32_t msg,
                     WPARAM wParam, LPARAM lParam) {
    for (const auto& entry : map) {
        if (entry.msg == msg) {
            (window.*entry.handler)(wParam, lParam);
            return true;
        }
    }
    return false;
}

}  // namespace ui
