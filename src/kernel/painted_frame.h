#pragma once

// A live picture as the frame painter finished it, handed to the main window to put on screen.
// The painter never changes a frame once handed over; the window keeps it as long as it likes.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::size_t kPaintedPixelBytes = 4;

struct PaintedFrame {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    // Rows top to bottom, width x 4 bytes each, blue-green-red-0xFF (QImage::Format_RGB32, which
    // the window draws without converting).
    std::vector<std::uint8_t> pixels;
    // Scaled to the full-screen size the window gave the painter.
    bool fullScreen = false;
    // The alarm-channel text beside the picture; empty for none.
    std::string indicator;
    // The stream's text line ("HU: ..."), only on frames that renew it; the window keeps the
    // last one it was given otherwise.
    std::optional<std::string> status2;
    // When the last byte of the frame arrived from the device.
    std::chrono::steady_clock::time_point arrival;
};

// The way painted frames reach the window thread. The painter offers every frame; the window
// takes the newest when it gets to it. At most one frame waits, so a window thread that is busy
// for a while never makes frames pile up: a frame replaced before it was taken goes back to the
// painter at once. A stream text carried by a replaced frame is kept for the next one taken.
class PaintedFrameHandOver {
public:
    struct Taken {
        std::shared_ptr<const PaintedFrame> frame;  // null when nothing waits
        std::optional<std::string> status2;         // the newest text of the frames it stands for
    };

    // True when nothing was waiting: the caller then has the window thread Take() once.
    bool Offer(std::shared_ptr<const PaintedFrame> frame) {
        std::lock_guard lock(m_mutex);
        const bool wasEmpty = !m_frame;
        if (frame->status2) {
            m_status2 = frame->status2;
        }
        m_frame = std::move(frame);
        return wasEmpty;
    }

    Taken Take() {
        std::lock_guard lock(m_mutex);
        Taken taken{std::move(m_frame), std::move(m_status2)};
        m_frame.reset();
        m_status2.reset();
        return taken;
    }

private:
    std::mutex m_mutex;
    std::shared_ptr<const PaintedFrame> m_frame;
    std::optional<std::string> m_status2;
};
