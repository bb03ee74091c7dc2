#include "platform/clock.h"

#include <mutex>

namespace platform {
namespace {

struct ClockState {
    std::mutex mutex;
    double speed = 1.0;
    // Tick value and real time at the last speed change, so a change never makes ticks jump.
    double baseTick = 0.0;
    std::chrono::steady_clock::time_point baseReal = std::chrono::steady_clock::now();
};

ClockState& State() {
    static ClockState state;
    return state;
}

double TickAt(const ClockState& s, std::chrono::steady_clock::time_point t) {
    const std::chrono::duration<double, std::milli> real = t - s.baseReal;
    return s.baseTick + real.count() * s.speed;
}

}  // namespace

std::uint32_t GetTickCount() {
    ClockState& s = State();
    std::lock_guard lock(s.mutex);
    const double tick = TickAt(s, std::chrono::steady_clock::now());
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(tick));
}

void SetClockSpeed(double factor) {
    ClockState& s = State();
    std::lock_guard lock(s.mutex);
    const auto now = std::chrono::steady_clock::now();
    s.baseTick = TickAt(s, now);
    s.baseReal = now;
    s.speed = factor > 0.0 ? factor : 1.0;
}

double ClockSpeed() {
    ClockState& s = State();
    std::lock_guard lock(s.mutex);
    return s.speed;
}

std::chrono::steady_clock::duration ToRealDuration(std::uint32_t ms) {
    const std::chrono::duration<double, std::milli> real(ms / ClockSpeed());
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(real);
}

}  // namespace platform
