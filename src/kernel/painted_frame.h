#pragma once

// A live picture as the frame painter finished it, handed to the main window to put on screen.
// The painter never changes a frame once handed over; the window keeps it as long as it likes.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PaintedFrame {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    // Rows top to bottom, width x 3 bytes each, blue-green-red (QImage::Format_BGR888).
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
