#pragma once

// What the status line says about the stream when the frame painter has nothing to say: a device
// that sends frames this program does not show, and a stream that brings no frame.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The last frame of a connection that was skipped rather than shown, as the user is told of it:
// its first bytes when they are not the start this program shows, else its length when it is over
// the socket buffer. Empty when none was skipped.
struct SkippedFrame {
    std::uint32_t oversizeLength = 0;
    std::array<std::uint8_t, 4> start{};
    std::uint8_t startSize = 0;

    bool Empty() const { return oversizeLength == 0 && startSize == 0; }
    bool operator==(const SkippedFrame&) const = default;
};

// Shown once a connection for each kind of skipped frame.
std::string SkippedFrameText(const SkippedFrame& frame);

// The status line while no frame has been shown for `seconds`; `skipped` the last frame skipped
// meanwhile.
std::string NoFrameText(std::uint32_t seconds, const SkippedFrame& skipped);

// Watches the count of shown frames while a connection receives the stream, so the status line
// does not keep the last frame rate through a stall. The main window asks it about once a
// second; it answers with a text once no frame has come for kNoticeMs, and again whenever the
// count of seconds grows.
class NoFrameWatch {
public:
    // Longer than two of the painter's rate windows, so a slow stream is not called stalled.
    static constexpr std::uint32_t kNoticeMs = 5'000;

    // `now` a tick, `framesShown` the painter's count, `receiving` whether a connection reads
    // the stream, `skipped` as for NoFrameText. The text to show, if the line must change.
    std::optional<std::string> Check(std::uint32_t now, std::uint32_t framesShown, bool receiving,
                                     const SkippedFrame& skipped);

private:
    bool m_watching = false;
    std::uint32_t m_frames = 0;
    std::uint32_t m_since = 0;
    std::uint32_t m_shownSeconds = 0;
};
