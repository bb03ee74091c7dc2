#pragma once

// The frame painter: runs on the kernel message thread once per decoded frame. It takes the
// decoded picture out of its slot (freeing the slot at once), doubles the rows of a 640- to
// 720-wide field picture, serves the hot-point, frame-copy and snapshot requests, scales to the
// screen in full screen, keeps the frame- and data-rate texts, and hands the finished picture to
// the main window (PresentFrame). A picture that needs none of that goes to the window as it was
// decoded, without a copy. The window only puts the frame on screen.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/painted_frame.h"

inline constexpr std::uint32_t kRateIntervalMs = 2'000;

class FrameSlots;
class PacketHeaderParser;

struct FrameRates {
    float frameRate = 0;             // frames per second
    std::uint32_t dataRateKbps = 0;  // kilobits (of 1,024 bits) per second
};

// The rates over a window of `elapsedMs` (not 0), without 32-bit wrap-around.
FrameRates ComputeFrameRates(std::uint32_t frames, std::uint32_t bytes, std::uint32_t elapsedMs);
// The status texts of the rates: "FR:25.00 fps " and "DR:1000 kbps ".
std::string FrameRateText(float frameRate);
std::string DataRateText(std::uint32_t dataRateKbps);
// True once kRateIntervalMs have passed since `rateTick`; never for a tick ahead of `now`.
bool RatesDue(std::uint32_t now, std::uint32_t rateTick);

class CFramePainter {
public:
    // The widest picture and the most rows that are painted with doubled rows.
    static constexpr std::uint16_t kMemoryBitmapWidth = 720;
    static constexpr std::uint16_t kMemoryBitmapHeight = 576;
    static constexpr std::uint32_t kHotPointColour = 0xFF0000;

    CFramePainter(FrameSlots& slots, const PacketHeaderParser& parser);
    ~CFramePainter();
    CFramePainter(const CFramePainter&) = delete;
    CFramePainter& operator=(const CFramePainter&) = delete;

    // Set by the main window on entering and leaving full screen: the screen's size in pixels.
    void SetFullScreen(bool on, std::uint16_t width, std::uint16_t height);

    // Paints the current frame. 1 after painting, 0 when no video is ready or no frame is
    // current; the show thread's finish event is set in every case, so the pipeline never waits
    // for a frame not painted.
    std::uint32_t Paint();

    // The last rate texts ("FR:25.00 fps ", "DR:1000 kbps "), empty before the first update.
    std::string CurrentFrameRateText() const;
    std::string CurrentDataRateText() const;

private:
    // The indicator text: the number, from 1, of the lowest bit of the alarm word.
    std::string AlarmIndicator() const;
    // Renews the rate texts once they are due; true when it did.
    bool UpdateRates(PaintedFrame& frame);

    FrameSlots& m_slots;
    const PacketHeaderParser& m_parser;
    // Bottom-up blue-green-red pictures for the picture functions and the requests: the decoded
    // picture, the doubled one and the full-screen one.
    std::vector<std::uint8_t> m_decoded;
    std::vector<std::uint8_t> m_picture;
    std::vector<std::uint8_t> m_screen;

    mutable std::mutex m_mutex;  // guards the full-screen state and the rate texts
    bool m_bFullScreen = false;
    std::uint16_t m_wScreenWidth = 0;
    std::uint16_t m_wScreenHeight = 0;
    std::string m_strFrameRate;
    std::string m_strDataRate;
};
