#include "video/frame_painter.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
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

// The device-independent picture (bottom-up rows of blue-green-red) of a painted one, for the
// picture functions and the requests, and back.
void ToBottomUpBgr(const PaintedFrame& frame, std::uint8_t* dst) {
    const std::size_t width = frame.width;
    const std::size_t height = frame.height;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* in = frame.pixels.data() + y * width * kPaintedPixelBytes;
        std::uint8_t* out = dst + (height - 1 - y) * width * 3;
        for (std::size_t x = 0; x < width; ++x, in += kPaintedPixelBytes, out += 3) {
            std::memcpy(out, in, 3);
        }
    }
}

void FromBottomUpBgr(const std::uint8_t* src, std::uint16_t width, std::uint16_t height,
                     PaintedFrame& frame) {
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(std::size_t{width} * height * kPaintedPixelBytes);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* in = src + (height - 1 - y) * std::size_t{width} * 3;
        std::uint8_t* out = frame.pixels.data() + y * width * kPaintedPixelBytes;
        for (std::size_t x = 0; x < width; ++x, in += 3, out += kPaintedPixelBytes) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    }
}

std::string Format(const char* format, auto value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

CFramePainter::CFramePainter(FrameSlots& slots, const PacketHeaderParser& parser)
    : m_slots(slots), m_parser(parser) {}

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
    std::unique_ptr<PaintedFrame> frame = m_slots.TakeCurrent();
    // The picture is the painter's own from here on, so the slot is free at once.
    platform::SetEvent(app.h_FinishShowImageJobEvent);
    if (app.m_fVideoReady == 0 || !frame) {
        if (frame) {
            m_slots.Share(std::move(frame));  // back to the pool
        }
        return 0;
    }

    bool fullScreen = false;
    std::uint16_t screenWidth = 0, screenHeight = 0;
    {
        std::lock_guard lock(m_mutex);
        fullScreen = m_bFullScreen && m_wScreenWidth > 0 && m_wScreenHeight > 0;
        screenWidth = m_wScreenWidth;
        screenHeight = m_wScreenHeight;
    }
    const std::uint16_t width = frame->width;
    const bool doubled = width >= kDoublingMinWidth && width <= kMemoryBitmapWidth &&
                         2 * frame->height <= kMemoryBitmapHeight;
    const bool hotBox = !fullScreen && app.m_bPictureSizeCode <= kLastPictureSizeCode &&
                        app.m_bHotPointMode == kHotPointOn && app.m_wHotBoxFrames > 0;
    const bool copyRequest = app.m_fFrameCopyRequest.exchange(0) != 0;
    const bool snapshotRequest = app.m_fSnapshotRequest.exchange(0) != 0;

    // The decoded picture goes to the window as it is; only these cases need the picture in its
    // device-independent form.
    if (doubled || hotBox || fullScreen || copyRequest || snapshotRequest) {
        const auto height = static_cast<std::uint16_t>(doubled ? 2 * frame->height : frame->height);
        const std::size_t pictureBytes = PictureBytes(width, height);
        m_decoded.resize(PictureBytes(width, frame->height));
        ToBottomUpBgr(*frame, m_decoded.data());
        std::uint8_t* picture = m_decoded.data();
        if (doubled) {
            m_picture.resize(pictureBytes);
            FilterImageMMX(m_decoded.data(), m_picture.data(), m_picture.size(), width,
                           frame->height, width, height);
            picture = m_picture.data();
        }
        if (hotBox) {
            DrawFrameBox(picture, width, height, kHotPointColour, app.m_wHotBoxX, app.m_wHotBoxY);
            --app.m_wHotBoxFrames;
        }
        if (copyRequest) {
            const bool fits = app.m_lpFrameCopyBuffer && pictureBytes <= kImageSlotSize;
            if (fits) {
                std::memcpy(app.m_lpFrameCopyBuffer.get(), picture, pictureBytes);
            }
            app.m_wCopyWidth = fits ? width : 0;
            app.m_wCopyHeight = fits ? height : 0;
            platform::ReleaseSemaphore(app.h_FrameCopiedSem);
        }
        if (snapshotRequest) {
            const std::string folder = app.CSettingINI.m_strSnapshotPath.Get();
            const SnapshotReport report = ReportSnapshot(
                SaveSnapshot(folder, picture, width, height, kSnapshotAsJpeg), folder);
            TraceLogWrite(report.trace.c_str());
            if (MainWindowLink* window = app.m_pMainDialog.load()) {
                window->ShowNoticeText(report.notice);
            }
        }
        if (fullScreen) {
            m_screen.assign(PictureBytes(screenWidth, screenHeight), 0);
            resize::FrameResize_8u_C3R(
                picture, {width, height}, width * 3, {0, 0, width, height}, m_screen.data(),
                screenWidth * 3, {screenWidth, screenHeight},
                static_cast<double>(screenWidth) / width,
                static_cast<double>(screenHeight) / height, resize::kInterNearest);
            FromBottomUpBgr(m_screen.data(), screenWidth, screenHeight, *frame);
        } else if (doubled || hotBox) {
            FromBottomUpBgr(picture, width, height, *frame);
        }
    }
    frame->fullScreen = fullScreen;
    frame->indicator = AlarmIndicator();
    frame->status2.reset();
    const bool ratesRenewed = UpdateRates(*frame);

    if (MainWindowLink* window = app.m_pMainDialog.load()) {
        window->PresentFrame(m_slots.Share(std::move(frame)));
        if (ratesRenewed) {
            window->ShowStatusText(CurrentFrameRateText() + CurrentDataRateText());
        }
    } else {
        m_slots.Share(std::move(frame));
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
