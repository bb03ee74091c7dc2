#include "video/stream_status.h"

#include "kernel/kernel_object.h"

namespace {

std::string OversizeClause(std::uint32_t length) {
    return "the device sends frames of " + std::to_string(length) + " bytes, this program shows " +
           std::to_string(kSocketBufferSize) + " at most";
}

}  // namespace

std::string OversizeFrameText(std::uint32_t length) {
    std::string text = OversizeClause(length);
    text[0] = 'T';
    return text;
}

std::string NoFrameText(std::uint32_t seconds, std::uint32_t oversizeLength) {
    std::string text = "No picture for " + std::to_string(seconds) + " s";
    if (oversizeLength != 0) {
        text += ": " + OversizeClause(oversizeLength);
    }
    return text;
}

std::optional<std::string> NoFrameWatch::Check(std::uint32_t now, std::uint32_t framesShown,
                                               bool receiving, std::uint32_t oversizeLength) {
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
    return NoFrameText(seconds, oversizeLength);
}
