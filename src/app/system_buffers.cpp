#include "app/system_buffers.h"

#include <new>

#include "app/session_components.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"

namespace {

std::unique_ptr<std::uint8_t[]> Allocate(std::size_t bytes) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]());
}

bool MakeSemaphore(platform::HandleField& field, std::int32_t initial, std::int32_t maximum) {
    field = platform::CreateSemaphoreObject(initial, maximum);
    return static_cast<bool>(field);
}

}  // namespace

std::uint32_t AllocateSystemBuffer(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    app.m_lpSocketBuffer = Allocate(kSocketBufferSize * kSocketBufferCount);
    app.m_lpCompressedFrameBuffer = Allocate(kImageSlotSize * kImageSlotCount);
    app.m_lpImageBuffer = Allocate(kImageSlotSize * kImageSlotCount);
    app.m_lpPacketInfo.reset(new (std::nothrow) PacketInfo[kSocketBufferCount]);
    const bool componentsReady = components.AllocateBuffers();
    app.m_lpDoubledImage = Allocate(kImageSlotSize);
    app.m_lpFrameCopyBuffer = Allocate(kImageSlotSize);
    if (!app.m_lpSocketBuffer || !app.m_lpCompressedFrameBuffer || !app.m_lpImageBuffer ||
        !app.m_lpPacketInfo || !componentsReady || !app.m_lpDoubledImage ||
        !app.m_lpFrameCopyBuffer) {
        return 0;
    }
    app.m_wSocketBufferCount = kSocketBufferCount;
    app.m_wImageBufferCount = kImageSlotCount;
    app.m_wSocketWriteIndex = app.m_wSocketReadIndex = app.m_wSocketIndex3 = 0;
    app.w_VortaMp4DecodeIndex = app.m_wDecodeImageIndex = app.m_wSlotIndex3 = 0;
    return 1;
}

std::uint32_t FreeSystemBuffer(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    app.m_lpCompressedFrameBuffer.reset();
    app.m_lpCurrentImage = nullptr;
    app.m_lpImageBuffer.reset();
    app.m_lpFullScreenBuffer.reset();
    app.m_lpSocketBuffer.reset();
    app.m_lpPacketInfo.reset();
    app.m_lpFrameCopyBuffer.reset();
    components.FreeBuffers();
    AlarmDatabase().AlarmDB_FreeBuffer();
    app.m_lpDoubledImage.reset();
    return 1;
}

std::uint32_t InitialSemaphore(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    const std::int32_t sockets = kSocketBufferCount - 1;  // at most four of five are filled
    const std::int32_t slots = kImageSlotCount;
    const bool made = MakeSemaphore(app.h_FreeSocketBufferSem, sockets, sockets) &&
                      MakeSemaphore(app.h_FilledSocketBufferSem, 0, sockets) &&
                      MakeSemaphore(app.h_FreeImageBufferSem, slots, slots) &&
                      MakeSemaphore(app.JPEGImageBufferRelSem, 0, slots) &&
                      MakeSemaphore(app.h_FrameCopiedSem, 0, 1) && components.CreateResources() &&
                      MakeSemaphore(app.h_FreeImageBufferSem2, slots, slots);
    return made ? 1 : 0;
}

std::uint32_t FreeSemaphore(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    for (platform::HandleField* field :
         {&app.h_FreeImageBufferSem2, &app.h_FreeSocketBufferSem, &app.h_FilledSocketBufferSem,
          &app.h_FreeImageBufferSem, &app.JPEGImageBufferRelSem, &app.h_FrameCopiedSem}) {
        platform::CloseObject(*field);
    }
    components.FreeResources();
    return 1;
}
