#include "video/frame_threads.h"

#include <algorithm>
#include <cstring>

#include "kernel/kernel_object.h"
#include "kernel/mailbox.h"
#include "platform/clock.h"
#include "platform/jpeg.h"
#include "video/frame_slots.h"

namespace {

constexpr std::uint32_t kTakenIndex = platform::kWaitObject0 + 1;

std::uint16_t Next(std::uint16_t index, std::uint16_t count) {
    return static_cast<std::uint16_t>((index + 1) % count);
}

// Waits for `object` unless the stream's end comes first.
bool TakeBeforeEnd(platform::Handle end, platform::Handle object) {
    const platform::Handle waits[] = {end, object};
    return platform::WaitForAnyObject(waits, platform::kInfinite) == kTakenIndex;
}

void FollowPictureSize(KernelObject& app, std::uint16_t width, std::uint16_t height) {
    const int code = PictureSizeCode(width, height);
    if (code >= 0) {
        app.m_bPictureSizeCode = static_cast<std::uint8_t>(code);
    }
    const std::uint8_t current = app.m_bPictureSizeCode;
    if (current == app.m_bPictureSizeCode2) {
        return;
    }
    app.m_wLayoutMode = current;
    app.m_bPictureSizeCode2 = current;
    if (MainWindowLink* window = app.m_pMainDialog.load()) {
        window->SwitchLayoutMode(current);
    }
}

// The frame as the window draws it, or null when it is damaged or larger than a decoded slot.
std::unique_ptr<PaintedFrame> DecodePicture(platform::JpegDecoder& decoder,
                                            const std::uint8_t* compressed, std::uint32_t length,
                                            const platform::JpegHeader& header, FrameSlots& slots,
                                            FrameClock::time_point arrival) {
    const auto width = static_cast<std::size_t>(header.width);
    const auto height = static_cast<std::size_t>(header.height);
    if (width * height * 3 > kImageSlotSize) {
        return nullptr;
    }
    std::unique_ptr<PaintedFrame> picture = slots.Blank();
    picture->width = static_cast<std::uint16_t>(width);
    picture->height = static_cast<std::uint16_t>(height);
    picture->arrival = arrival;
    picture->pixels.resize(width * height * kPaintedPixelBytes);
    if (!decoder.DecodeTopDownBgrx(compressed, length, picture->pixels.data(),
                                   picture->pixels.size(), header)) {
        slots.Share(std::move(picture));  // back to the pool
        return nullptr;
    }
    return picture;
}

}  // namespace

int PictureSizeCode(std::uint16_t width, std::uint16_t height) {
    constexpr std::uint16_t kFieldHeight = 228;
    switch (width) {
        case 320:
            return height == kFieldHeight ? 1 : 3;
        case 640:
            return height == kFieldHeight ? 0 : 2;
        default:
            return -1;
    }
}

std::uint32_t Jpeg_Compose_Image_Data_Thread(FrameSlots& slots) {
    KernelObject& app = *g_lpApp;
    platform::JpegDecoder decoder;
    for (;;) {
        if (!TakeBeforeEnd(app.h_EndofGetJpegImageEvent, app.h_FilledSocketBufferSem)) {
            return 0;
        }
        const std::uint16_t socketIndex = app.m_wSocketReadIndex;
        const PacketInfo& info = app.m_lpPacketInfo[socketIndex];
        // The receiver never fills more than a socket buffer, and a socket buffer is smaller
        // than a compressed slot.
        const std::uint32_t length =
            std::min<std::uint32_t>(info.dwPayloadLength, kSocketBufferSize);
        const std::uint32_t timeStamp = info.dwTimeStamp;
        const FrameClock::time_point arrival = slots.m_socketArrival[socketIndex];
        std::uint8_t* compressed =
            app.m_lpCompressedFrameBuffer.get() + app.w_VortaMp4DecodeIndex * kImageSlotSize;
        std::memcpy(compressed, app.m_lpSocketBuffer.get() + socketIndex * kSocketBufferSize,
                    length);
        app.m_wSocketReadIndex = Next(socketIndex, app.m_wSocketBufferCount);

        if (!TakeBeforeEnd(app.h_EndofGetJpegImageEvent, app.h_FreeImageBufferSem)) {
            return 0;
        }
        const std::uint16_t slot = app.m_wDecodeImageIndex;
        platform::JpegHeader header;
        std::unique_ptr<PaintedFrame> picture;
        if (decoder.ReadHeader(compressed, length, &header)) {
            app.m_wImageWidth = static_cast<std::uint16_t>(header.width);
            app.m_wImageHeight = static_cast<std::uint16_t>(header.height);
            FollowPictureSize(app, app.m_wImageWidth, app.m_wImageHeight);
            picture = DecodePicture(decoder, compressed, length, header, slots, arrival);
        }
        const bool decoded = picture != nullptr;
        if (decoded) {
            slots.Fill(slot, std::move(picture));
            if (RecordingLink* recording = app.m_pRecording.load()) {
                recording->PushPreAlarmFrame(compressed, length, timeStamp);
            }
            app.m_wDecodeImageIndex = Next(slot, app.m_wImageBufferCount);
            platform::ReleaseSemaphore(app.JPEGImageBufferRelSem);
        } else {
            platform::ReleaseSemaphore(app.h_FreeImageBufferSem);
        }
        app.w_VortaMp4DecodeIndex = Next(app.w_VortaMp4DecodeIndex, app.m_wImageBufferCount);
        platform::ReleaseSemaphore(app.h_FreeSocketBufferSem);
    }
}

std::uint32_t Jpeg_Show_Image_Data_Thread(FrameSlots& slots) {
    KernelObject& app = *g_lpApp;
    if (platform::WaitForObject(app.h_StartToShowImageEvent, platform::kInfinite) !=
        platform::kWaitObject0) {
        return 0;
    }
    std::uint16_t slot = 0;
    for (;;) {
        if (platform::WaitForObject(app.JPEGImageBufferRelSem, platform::kInfinite) !=
            platform::kWaitObject0) {
            return 0;
        }
        app.m_dwFramesShown.fetch_add(1);
        app.m_fDrawBorder = 0;
        slots.MakeCurrent(slot);
        slot = Next(slot, app.m_wImageBufferCount);
        if (!PostKernelMessage(KMSG_SHOW_FRAME, 0, 0)) {
            return 0;
        }
        if (!TakeBeforeEnd(app.h_EndofShowImageEvent, app.h_FinishShowImageJobEvent)) {
            return 0;
        }
        platform::ReleaseSemaphore(app.h_FreeImageBufferSem);
    }
}
