// The live stream as the receive thread reads it: packet headers and frames from the first byte,
// written by the device in pieces of varying length, until the device closes. A second thread
// takes each filled socket buffer and decodes it on one decoder kept across frames, as the
// compose thread does.
//
// Input: a reply script (fuzz_support.h) whose first reply is the stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "fuzz_support.h"
#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/jpeg.h"
#include "platform/sync.h"
#include "video/frame_slots.h"
#include "video/stream_packet_header.h"
#include "video/stream_receiver.h"

namespace {

// The socket-buffer ring as the session's resource chain makes it. The semaphores are made anew
// for every stream, as every new session makes them: a stream that breaks mid-packet keeps the
// buffer it was filling.
class StreamRing {
public:
    StreamRing() {
        KernelObject& app = *g_lpApp;
        app.m_lpSocketBuffer =
            std::make_unique<std::uint8_t[]>(kSocketBufferSize * kSocketBufferCount);
        app.m_lpPacketInfo = std::make_unique<PacketInfo[]>(kSocketBufferCount);
        app.m_wSocketBufferCount = kSocketBufferCount;
        for (platform::HandleField* event :
             {&app.h_StartToGetJpegImageEvent, &app.h_NotifyGetJPEGImageThreadResetEvent,
              &app.h_FeedBackForNotifyResetEvent, &app.h_Process_Reply_TerminateEvent,
              &app.h_StartToShowImageEvent}) {
            *event = platform::CreateEventObject(false, false);
        }
        app.h_EndofGetJpegImageEvent = platform::CreateEventObject(true, false);
        std::thread([this] { Decode(); }).detach();
    }

    // One stream from the device, with the decoding thread beside the receiver taking each
    // filled buffer as the compose thread does.
    void Receive(PacketHeaderParser& parser, FrameSlots& slots) {
        KernelObject& app = *g_lpApp;
        const std::int32_t sockets = kSocketBufferCount - 1;
        app.h_FreeSocketBufferSem = platform::CreateSemaphoreObject(sockets, sockets);
        app.h_FilledSocketBufferSem = platform::CreateSemaphoreObject(0, sockets);
        app.m_wSocketWriteIndex = 0;
        platform::SetEvent(m_streamStarted);
        platform::SetEvent(app.h_StartToGetJpegImageEvent);
        Jpeg_TCP_Get_Image_Data_Thread(parser, slots);
        platform::SetEvent(m_streamEnded);
        platform::WaitForObject(m_decodedAll, platform::kInfinite);
        platform::CloseObject(app.h_FreeSocketBufferSem.Take());
        platform::CloseObject(app.h_FilledSocketBufferSem.Take());
    }

private:
    // For each stream, decodes every filled buffer, also those still waiting when it has ended.
    // The thread lives as long as the process: a thread per stream costs more than the stream.
    void Decode() {
        KernelObject& app = *g_lpApp;
        for (;;) {
            platform::WaitForObject(m_streamStarted, platform::kInfinite);
            const platform::Handle waits[] = {app.h_FilledSocketBufferSem, m_streamEnded};
            for (std::uint16_t index = 0;; index = (index + 1) % kSocketBufferCount) {
                if (platform::WaitForAnyObject(waits, platform::kInfinite) !=
                        platform::kWaitObject0 &&
                    platform::WaitForObject(app.h_FilledSocketBufferSem, 0) !=
                        platform::kWaitObject0) {
                    break;
                }
                platform::JpegHeader header;
                m_decoder.DecodeBottomUpBgr(app.m_lpSocketBuffer.get() + index * kSocketBufferSize,
                                            app.m_lpPacketInfo[index].dwPayloadLength,
                                            m_picture.data(), m_picture.size(), &header);
                platform::ReleaseSemaphore(app.h_FreeSocketBufferSem);
            }
            platform::ResetEvent(m_streamEnded);
            platform::SetEvent(m_decodedAll);
        }
    }

    const platform::Handle m_streamStarted = platform::CreateEventObject(false, false);
    const platform::Handle m_streamEnded = platform::CreateEventObject(true, false);
    const platform::Handle m_decodedAll = platform::CreateEventObject(false, false);
    platform::JpegDecoder m_decoder;
    std::vector<std::uint8_t> m_picture = std::vector<std::uint8_t>(kImageSlotSize);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program::Get();
    static fuzz::LoopbackDevice device;
    static StreamRing& ring = *new StreamRing;  // its thread runs to the end of the process
    static PacketHeaderParser parser;
    static FrameSlots slots;
    fuzz::Program::Get().PointAt(device.Port());
    device.Serve(fuzz::DecodeReplyScript({data, size}));
    ring.Receive(parser, slots);
    device.WaitIdle();
    return 0;
}
