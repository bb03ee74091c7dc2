#pragma once

#include <QApplication>
#include <chrono>
#include <functional>
#include <thread>

#include "ui/window_message.h"

namespace test_support {

// Delivers posted window messages and queued calls until `done` holds or `timeoutMs` of real time
// have passed. Call it on the GUI thread.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20'000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        ui::ProcessPostedMessages();
        QApplication::processEvents();
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

}  // namespace test_support
