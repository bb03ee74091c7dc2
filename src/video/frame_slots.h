#pragma once

// The decoded pictures between the compose thread and the painter. The compose thread decodes
// each frame straight into a picture of the form the window draws (PaintedFrame) and puts it in a
// slot; the show thread makes a slot current; the painter takes the current picture, finishes it
// and hands that same picture to the window, so a frame is never copied on its way to the screen.
// Each picture keeps its own size and the arrival time of its frame's last byte. Pictures the
// window lets go of come back here, so a steady stream allocates nothing per frame.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/kernel_object.h"
#include "kernel/painted_frame.h"

using FrameClock = std::chrono::steady_clock;

class FrameSlots {
public:
    FrameSlots();
    ~FrameSlots();
    FrameSlots(const FrameSlots&) = delete;
    FrameSlots& operator=(const FrameSlots&) = delete;

    // Written by the receive thread, read by the compose thread; the socket-buffer semaphores
    // order the two.
    std::array<FrameClock::time_point, kSocketBufferCount> m_socketArrival{};

    // A picture to decode into, with the memory of one the window let go of when there is one.
    std::unique_ptr<PaintedFrame> Blank();
    // The compose thread has decoded `picture` for `slot`.
    void Fill(std::uint16_t slot, std::unique_ptr<PaintedFrame> picture);
    // The show thread makes `slot` the one the painter takes (also m_lpCurrentImage).
    void MakeCurrent(std::uint16_t slot);
    // The painter's picture, now the painter's own; null before the first MakeCurrent of a
    // session and when the current picture was taken already.
    std::unique_ptr<PaintedFrame> TakeCurrent();
    // A finished picture as the window keeps it; its memory comes back when the window is done.
    std::shared_ptr<const PaintedFrame> Share(std::unique_ptr<PaintedFrame> picture);
    // Forgets the current picture (a new session starts).
    void Clear();

private:
    struct Pool;

    mutable std::mutex m_mutex;
    std::array<std::unique_ptr<PaintedFrame>, kImageSlotCount> m_slots;
    int m_current = -1;
    std::shared_ptr<Pool> m_pool;
};
