#include "ui/window_message.h"

#include <QCoreApplication>
#include <mutex>
#include <unordered_map>

#include "ui/queued_call.h"

namespace ui {
namespace {

std::mutex g_mutex;
std::unordered_map<WindowHandle, MessageWindow*> g_windows;
WindowHandle g_nextHandle = 1;

MessageWindow* Find(WindowHandle h) {
    std::lock_guard lock(g_mutex);
    const auto it = g_windows.find(h);
    return it == g_windows.end() ? nullptr : it->second;
}

}  // namespace

MessageWindow::MessageWindow() {
    std::lock_guard lock(g_mutex);
    m_hWnd = g_nextHandle++;
    g_windows.emplace(m_hWnd, this);
}

MessageWindow::~MessageWindow() {
    std::lock_guard lock(g_mutex);
    g_windows.erase(m_hWnd);
}

bool PostMessage(WindowHandle window, std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !Find(window)) {
        return false;
    }
    // The window is looked up again on delivery: it may have closed in between.
    return PostCall(app, [=] {
        if (MessageWindow* w = Find(window)) {
            w->OnMessage(msg, wParam, lParam);
        }
    });
}

void ProcessPostedMessages() {
    QCoreApplication::sendPostedEvents();
}

}  // namespace ui
