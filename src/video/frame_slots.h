#pragma once

// The decoded-image slots as the compose thread fills them and the painter reads them: each slot
// keeps the size of its own picture, so a size change in the stream never makes the painter read
// one slot with another's size. The socket buffers keep the arrival time of their frame's last
// byte, which travels with the frame to the painted picture.

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "kernel/kernel_object.h"

using FrameClock = std::chrono::steady_clock;

struct SlotFrame {
    std::uint8_t* pixels = nullptr;  // bottom-up, blue-green-red, rows of width x 3 bytes
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    FrameClock::time_point arrival;
};

class FrameSlots {
public:
    // Written by the receive thread, read by the compose thread; the socket-buffer semaphores
    // order the two.
    std::array<FrameClock::time_point, kSocketBufferCount> m_socketArrival{};

    // The compose thread has decoded a picture into `slot`.
    void Fill(std::uint16_t slot, std::uint16_t width, std::uint16_t height,
              FrameClock::time_point arrival);
    // The show thread makes `slot` the one the painter draws (also m_lpCurrentImage).
    void MakeCurrent(std::uint16_t slot);
    // The painter's picture; no pixels before the first MakeCurrent of a session.
    SlotFrame Current() const;
    // Forgets the current picture (a new session starts).
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::array<SlotFrame, kImageSlotCount> m_slots{};
    int m_current = -1;
};
