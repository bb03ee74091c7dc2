#include "video/stream_status.h"

#include <cstdio>

#include "kernel/kernel_object.h"
#include "video/stream_packet_header.h"

namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += digits;
    }
    return text;
}

std::string SkippedClause(const SkippedFrame& frame) {
    if (frame.startSize != 0) {
        return "the device sends frames that begin " + Hex(frame.start.data(), frame.startSize) +
               ", this program shows those that begin " +
               Hex(kJpegFrameStart.data(), kJpegFrameStart.size());
    }
    return "the device sends frames of " + std::to_string(frame.oversizeLength) +
           " bytes, this program shows " + std::to_string(kSocketBufferSize) + " at most";
}

}  // namespace

std::string SkippedFrameText(const SkippedFrame& frame) {
    std::string text = SkippedClause(frame);
    text[0] = 'T';
    return text;
}

std::string NoFrameText(std::uint32_t seconds, const SkippedFrame& skipped) {
    std::string text = "No picture for " + std::to_string(seconds) + " s";
    if (!skipped.Empty()) {
        text += ": " + SkippedClause(skipped);
    }
    return text;
}

std::optional<std::string> NoFrameWatch::Check(std::uint32_t now, std::uint32_t framesShown,
                                               bool receiving, const SkippedFrame& skipped) {
    if (!receiving) {
        m_watching = false;
        return std::nullopt;
    }
    if (!m_watching || framesShown != m_frames) {
        m_watching = true;
        m_frames = framesShown;
        m_since = now;
        m_shownSeconds = 0;
        return std::nullopt;
    }
    const std::uint32_t elapsed = now - m_since;
    const std::uint32_t seconds = elapsed / 1000;
    if (elapsed < kNoticeMs || seconds == m_shownSeconds) {
        return std::nullopt;
    }
    m_shownSeconds = seconds;
    return NoFrameText(seconds, skipped);
}
