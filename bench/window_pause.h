#pragma once

// Measures how long the window thread goes without running its events: a 1 ms timer ticks on it,
// and the longest gap between two ticks is the longest pause since the meter was made.

#include <QObject>
#include <QTimer>
#include <algorithm>
#include <chrono>

class WindowPauseMeter {
public:
    WindowPauseMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(1);
    }

    double LongestMs() const {
        return std::chrono::duration<double, std::milli>(m_longest).count();
    }

private:
    using Clock = std::chrono::steady_clock;
    QTimer m_timer;
    Clock::time_point m_last = Clock::now();
    Clock::duration m_longest{};
};
