#pragma once

// What the status line says about the stream when the frame painter has nothing to say: a device
// that sends frames larger than the program shows, and a stream that brings no frame.

#include <cstdint>
#include <optional>
#include <string>

// Shown once a connection when a frame over the socket buffer is skipped.
std::string OversizeFrameText(std::uint32_t length);

// The status line while no frame has been shown for `seconds`; `oversizeLength` (not 0) is the
// length of a frame over the socket buffer skipped meanwhile.
std::string NoFrameText(std::uint32_t seconds, std::uint32_t oversizeLength);

// Watches the count of shown frames while a connection receives the stream, so the status line
// does not keep the last frame rate through a stall. The main window asks it about once a
// second; it answers with a text once no frame has come for kNoticeMs, and again whenever the
// count of seconds grows.
class NoFrameWatch {
public:
    // Longer than two of the painter's rate windows, so a slow stream is not called stalled.
    static constexpr std::uint32_t kNoticeMs = 5'000;

    // `now` a tick, `framesShown` the painter's count, `receiving` whether a connection reads
    // the stream, `oversizeLength` as for NoFrameText. The text to show, if the line must change.
    std::optional<std::string> Check(std::uint32_t now, std::uint32_t framesShown, bool receiving,
                                     std::uint32_t oversizeLength);

private:
    bool m_watching = false;
    std::uint32_t m_frames = 0;
    std::uint32_t m_since = 0;
    std::uint32_t m_shownSeconds = 0;
};
