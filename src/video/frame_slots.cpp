#include "video/frame_slots.h"

void FrameSlots::Fill(std::uint16_t slot, std::uint16_t width, std::uint16_t height,
                      FrameClock::time_point arrival) {
    std::lock_guard lock(m_mutex);
    m_slots.at(slot) = {g_lpApp->m_lpImageBuffer.get() + slot * kImageSlotSize, width, height,
                        arrival};
}

void FrameSlots::MakeCurrent(std::uint16_t slot) {
    std::lock_guard lock(m_mutex);
    m_current = slot;
    g_lpApp->m_lpCurrentImage = m_slots.at(slot).pixels;
}

SlotFrame FrameSlots::Current() const {
    std::lock_guard lock(m_mutex);
    return m_current < 0 ? SlotFrame{} : m_slots[static_cast<std::size_t>(m_current)];
}

void FrameSlots::Clear() {
    std::lock_guard lock(m_mutex);
    m_current = -1;
}
