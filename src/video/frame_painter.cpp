#include "video/frame_painter.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "kernel/kernel_object.h"
#include "kernel/utilities.h"
#include "platform/clock.h"
#include "resize/frame_resize.h"
#include "video/frame_slots.h"
#include "video/snapshot.h"
#include "video/stream_packet_header.h"

namespace {

constexpr std::uint16_t kDoublingMinWidth = 640;
constexpr std::uint8_t kHotPointOn = 2;
constexpr std::uint8_t kLastPictureSizeCode = 5;
constexpr std::uint32_t kSnapshotAsJpeg = 1;

std::size_t PictureBytes(std::size_t width, std::size_t height) {
    return width * height * 3;
}

// Copies rows in reverse order: bottom-up to top-down and back.
void CopyFlipped(const std::uint8_t* src, std::uint8_t* dst, std::size_t width,
                 std::size_t height) {
    const std::size_t row = width * 3;
    for (std::size_t y = 0; y < height; ++y) {
        std::memcpy(dst + (height - 1 - y) * row, src + y * row, row);
    }
}

void FlipInPlace(std::uint8_t* pixels, std::size_t width, std::size_t height) {
    const std::size_t row = width * 3;
    for (std::size_t top = 0, bottom = height; top + 1 < bottom; ++top) {
        --bottom;
        std::swap_ranges(pixels + top * row, pixels + (top + 1) * row, pixels + bottom * row);
    }
}

std::string Format(const char* format, auto value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

// Painted frames go to the window as shared, immutable pictures; when the window lets go of
// one, its memory comes back here, so a steady stream allocates nothing per frame.
class CFramePainter::FramePool {
public:
    std::unique_ptr<PaintedFrame> Take() {
        std::lock_guard lock(m_state->mutex);
        if (m_state->free.empty()) {
            return std::make_unique<PaintedFrame>();
        }
        std::unique_ptr<PaintedFrame> frame = std::move(m_state->free.back());
        m_state->free.pop_back();
        return frame;
    }

    std::shared_ptr<const PaintedFrame> Share(std::unique_ptr<PaintedFrame> frame) {
        return std::shared_ptr<const PaintedFrame>(
            frame.release(), [state = std::weak_ptr<State>(m_state)](const PaintedFrame* p) {
                std::unique_ptr<PaintedFrame> owned(const_cast<PaintedFrame*>(p));
                if (const auto s = state.lock()) {
                    std::lock_guard lock(s->mutex);
                    if (s->free.size() < kKept) {
                        s->free.push_back(std::move(owned));
                    }
                }
            });
    }

private:
    static constexpr std::size_t kKept = 3;
    struct State {
        std::mutex mutex;
        std::vector<std::unique_ptr<PaintedFrame>> free;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

CFramePainter::CFramePainter(FrameSlots& slots, const PacketHeaderParser& parser)
    : m_slots(slots), m_parser(parser), m_pool(std::make_unique<FramePool>()) {}

CFramePainter::~CFramePainter() = default;

void CFramePainter::SetFullScreen(bool on, std::uint16_t width, std::uint16_t height) {
    std::lock_guard lock(m_mutex);
    m_bFullScreen = on;
    m_wScreenWidth = width;
    m_wScreenHeight = height;
}

std::string CFramePainter::CurrentFrameRateText() const {
    std::lock_guard lock(m_mutex);
    return m_strFrameRate;
}

std::string CFramePainter::CurrentDataRateText() const {
    std::lock_guard lock(m_mutex);
    return m_strDataRate;
}

std::uint32_t CFramePainter::Paint() {
    KernelObject& app = *g_lpApp;
    const SlotFrame slot = m_slots.Current();
    if (app.m_fVideoReady == 0 || !slot.pixels) {
        platform::SetEvent(app.h_FinishShowImageJobEvent);
        return 0;
    }

    // The picture is the slot itself until the painted copy is made (the slot is the painter's
    // until the finish event), or the painter's own buffer when the rows are doubled.
    const std::uint16_t width = slot.width;
    const bool doubled = width >= kDoublingMinWidth && width <= kMemoryBitmapWidth &&
                         2 * slot.height <= kMemoryBitmapHeight;
    const auto height = static_cast<std::uint16_t>(doubled ? 2 * slot.height : slot.height);
    std::uint8_t* picture = slot.pixels;
    if (doubled) {
        m_picture.resize(PictureBytes(width, height));
        FilterImageMMX(slot.pixels, m_picture.data(), m_picture.size(), width, slot.height, width,
                       height);
        picture = m_picture.data();
    }
    const std::size_t pictureBytes = PictureBytes(width, height);

    bool fullScreen = false;
    std::uint16_t screenWidth = 0, screenHeight = 0;
    {
        std::lock_guard lock(m_mutex);
        fullScreen = m_bFullScreen && m_wScreenWidth > 0 && m_wScreenHeight > 0;
        screenWidth = m_wScreenWidth;
        screenHeight = m_wScreenHeight;
    }

    if (!fullScreen && app.m_bPictureSizeCode <= kLastPictureSizeCode &&
        app.m_bHotPointMode == kHotPointOn && app.m_wHotBoxFrames > 0) {
        DrawFrameBox(picture, width, height, kHotPointColour, app.m_wHotBoxX, app.m_wHotBoxY);
        --app.m_wHotBoxFrames;
    }
    if (app.m_fFrameCopyRequest.exchange(0) != 0) {
        const bool fits = app.m_lpFrameCopyBuffer && pictureBytes <= kImageSlotSize;
        if (fits) {
            std::memcpy(app.m_lpFrameCopyBuffer.get(), picture, pictureBytes);
        }
        app.m_wCopyWidth = fits ? width : 0;
        app.m_wCopyHeight = fits ? height : 0;
        platform::ReleaseSemaphore(app.h_FrameCopiedSem);
    }
    if (app.m_fSnapshotRequest.exchange(0) != 0) {
        SaveSnapshot(app.CSettingINI.m_strSnapshotPath, picture, width, height, kSnapshotAsJpeg);
    }

    std::unique_ptr<PaintedFrame> frame = m_pool->Take();
    frame->fullScreen = fullScreen;
    frame->arrival = slot.arrival;
    if (fullScreen) {
        frame->width = screenWidth;
        frame->height = screenHeight;
        frame->pixels.assign(PictureBytes(screenWidth, screenHeight), 0);
        resize::FrameResize_8u_C3R(
            picture, {width, height}, width * 3, {0, 0, width, height}, frame->pixels.data(),
            screenWidth * 3, {screenWidth, screenHeight}, static_cast<double>(screenWidth) / width,
            static_cast<double>(screenHeight) / height, resize::kInterNearest);
        platform::SetEvent(app.h_FinishShowImageJobEvent);
        FlipInPlace(frame->pixels.data(), screenWidth, screenHeight);
    } else {
        frame->width = width;
        frame->height = height;
        frame->pixels.resize(pictureBytes);
        CopyFlipped(picture, frame->pixels.data(), width, height);
        platform::SetEvent(app.h_FinishShowImageJobEvent);
    }
    frame->indicator = AlarmIndicator();
    frame->status2.reset();
    const bool ratesRenewed = UpdateRates(*frame);

    if (MainWindowLink* window = app.m_pMainDialog.load()) {
        window->PresentFrame(m_pool->Share(std::move(frame)));
        if (ratesRenewed) {
            window->ShowStatusText(CurrentFrameRateText() + CurrentDataRateText());
        }
    }
    return 1;
}

std::string CFramePainter::AlarmIndicator() const {
    const std::uint16_t alarm = m_parser.m_wAlarmData;
    return alarm == 0 ? std::string() : std::to_string(__builtin_ctz(alarm) + 1);
}

bool CFramePainter::UpdateRates(PaintedFrame& frame) {
    KernelObject& app = *g_lpApp;
    const std::uint32_t now = platform::GetTickCount();
    if (!RatesDue(now, app.m_dwRateTick)) {
        return false;
    }
    const std::uint32_t latest = app.m_dwFramesShown;
    app.m_dwFramesLatest = latest;
    const auto frames = static_cast<std::uint32_t>(
        std::abs(static_cast<std::int32_t>(latest - app.m_dwFramesAtRate)));
    app.m_dwFramesAtRate = latest;
    const FrameRates rates =
        ComputeFrameRates(frames, app.m_dwBytesReceived, now - app.m_dwRateTick);
    app.m_dwDataRateKbps.exchange(rates.dataRateKbps);
    app.m_dwRateTick.exchange(now);
    app.m_dwBytesReceived.exchange(0);
    {
        std::lock_guard lock(m_mutex);
        m_strFrameRate = FrameRateText(rates.frameRate);
        m_strDataRate = DataRateText(rates.dataRateKbps);
    }
    const std::string text = m_parser.CurrentHUText();
    frame.status2 = text.empty() ? std::string() : "HU: " + text;
    return true;
}

FrameRates ComputeFrameRates(std::uint32_t frames, std::uint32_t bytes, std::uint32_t elapsedMs) {
    // In 64 bits: a few megabytes in two seconds would wrap the products in 32.
    const std::uint64_t kbps = std::uint64_t{bytes} * 1000 / elapsedMs * 8 / 1024;
    return {static_cast<float>(static_cast<double>(std::uint64_t{frames} * 1000) / elapsedMs),
            static_cast<std::uint32_t>(
                std::min<std::uint64_t>(kbps, std::numeric_limits<std::uint32_t>::max()))};
}

std::string FrameRateText(float frameRate) {
    return Format("FR:%.2f fps ", static_cast<double>(frameRate));
}

std::string DataRateText(std::uint32_t dataRateKbps) {
    return Format("DR:%" PRIu32 " kbps ", dataRateKbps);
}

bool RatesDue(std::uint32_t now, std::uint32_t rateTick) {
    return static_cast<std::int32_t>(now - rateTick) >= static_cast<std::int32_t>(kRateIntervalMs);
}
