#pragma once

#include <chrono>
#include <cstdint>

namespace platform {

// A wait without a time limit.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// Milliseconds since an arbitrary origin, as a 32-bit counter that wraps after about 49.7 days.
// Compare ticks only by difference (now - then), never by order.
std::uint32_t GetTickCount();

// Every sleep, timed wait and tick runs `factor` times faster than real time. Tests use it to
// live through minutes of session time in seconds; the program never changes it.
void SetClockSpeed(double factor);
double ClockSpeed();

// The real duration of `ms` clock milliseconds at the current speed.
std::chrono::steady_clock::duration ToRealDuration(std::uint32_t ms);

}  // namespace platform
