#include "video/frame_slots.h"

#include <utility>

// Pictures given back by the window. Shared with every handed-over picture's deleter, so a
// picture the window keeps past the pipeline's end is simply freed.
struct FrameSlots::Pool {
    // The window's picture, one waiting for it, the painter's and the slots' stay out; a few
    // more cover a window thread that lets go late.
    static constexpr std::size_t kKept = 4;

    std::mutex mutex;
    std::vector<std::unique_ptr<PaintedFrame>> free;
};

FrameSlots::FrameSlots() : m_pool(std::make_shared<Pool>()) {}

FrameSlots::~FrameSlots() = default;

std::unique_ptr<PaintedFrame> FrameSlots::Blank() {
    std::lock_guard lock(m_pool->mutex);
    if (m_pool->free.empty()) {
        return std::make_unique<PaintedFrame>();
    }
    std::unique_ptr<PaintedFrame> picture = std::move(m_pool->free.back());
    m_pool->free.pop_back();
    return picture;
}

std::shared_ptr<const PaintedFrame> FrameSlots::Share(std::unique_ptr<PaintedFrame> picture) {
    return std::shared_ptr<const PaintedFrame>(
        picture.release(), [pool = std::weak_ptr<Pool>(m_pool)](const PaintedFrame* p) {
            std::unique_ptr<PaintedFrame> owned(const_cast<PaintedFrame*>(p));
            if (const auto s = pool.lock()) {
                std::lock_guard lock(s->mutex);
                if (s->free.size() < Pool::kKept) {
                    s->free.push_back(std::move(owned));
                }
            }
        });
}

void FrameSlots::Fill(std::uint16_t slot, std::unique_ptr<PaintedFrame> picture) {
    std::unique_ptr<PaintedFrame> old;
    {
        std::lock_guard lock(m_mutex);
        old = std::exchange(m_slots.at(slot), std::move(picture));
    }
    // A picture the painter never took goes back to the pool rather than being freed.
    if (old) {
        Share(std::move(old));
    }
}

void FrameSlots::MakeCurrent(std::uint16_t slot) {
    std::lock_guard lock(m_mutex);
    m_current = slot;
    const auto& picture = m_slots.at(slot);
    g_lpApp->m_lpCurrentImage = picture ? picture->pixels.data() : nullptr;
}

std::unique_ptr<PaintedFrame> FrameSlots::TakeCurrent() {
    std::lock_guard lock(m_mutex);
    if (m_current < 0) {
        return nullptr;
    }
    g_lpApp->m_lpCurrentImage = nullptr;
    return std::move(m_slots[static_cast<std::size_t>(m_current)]);
}

void FrameSlots::Clear() {
    std::lock_guard lock(m_mutex);
    m_current = -1;
}
