#include "video/stream_receiver.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>

#include "kernel/kernel_object.h"
#include "kernel/mailbox.h"
#include "kernel/trace_log.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "protocol/blocking_socket.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "video/frame_slots.h"
#include "video/stream_packet_header.h"
#include "video/stream_status.h"
#include "video/stream_step.h"

namespace {

constexpr std::size_t kReceiveBufferSize = 1'400;
constexpr int kReceiveSeconds = 20;
constexpr int kSendSeconds = 10;
constexpr int kConnectSeconds = 10;
constexpr std::uint32_t kFreeBufferWaitMs = 10'000;
constexpr std::size_t kTraceStatusLength = 80;
// A device that refuses the stream answers with a status line; packets never begin so.
constexpr std::string_view kStatusLine = "HTTP/";
constexpr std::uint32_t kLargestStatus = 999;

std::atomic<std::uint32_t> g_streamState{kStreamIdle};
// The last frame skipped on the current connection, for the window's status line.
std::mutex g_skippedMutex;
SkippedFrame g_skippedFrame;

void SetSkippedFrame(const SkippedFrame& frame) {
    std::lock_guard lock(g_skippedMutex);
    g_skippedFrame = frame;
}

// Why a frame's length is not trusted when its picture ends short with a packet behind it.
constexpr const char* kLengthLied = "a frame's length runs on past its picture";

// Refused: the device answered the stream request with an HTTP status line.
enum class Ending { Stopped, Broken, Refused };

// Empty when the cookie or the host holds characters a request cannot carry.
std::string VideoRequest() {
    CCgiRequest target(CGI_GETVIDEO);
    // The cookie goes out even when it is empty.
    target.AddParam("Cookie", g_szSessionCookie.Get());
    const std::string host = g_strHostName.Get();
    if (!RequestCarries(target.Url(), host)) {
        return {};
    }
    return "GET " + target.Url() +
           " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw/r/nAccept-Encoding: gzip, "
           "deflate\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET "
           "CLR 1.1.4322)\r\nHost: " +
           host + "\r\nConnection: Keep-Alive\r\n\r\n";
}

// One connection's packets. Bytes that arrive behind a packet stay at the front of the receive
// buffer for the next one; every byte is counted for the data rate once, when it arrives.
class StreamConnection {
public:
    StreamConnection(KernelObject& app, PacketHeaderParser& parser, FrameSlots& slots)
        : m_app(app), m_parser(parser), m_slots(slots) {}

    Ending Run();
    const std::string& FailureLine() const { return m_failure; }
    // The status of a refusal, 0 when it could not be read.
    std::uint16_t RefusedStatus() const { return m_refusedStatus; }
    // Why the stream was out of step, null when it was not.
    const char* OutOfStepReason() const { return m_outOfStep; }

private:
    bool Connect();
    // True when the reply begins with an HTTP status line: the device refused the stream.
    bool Refused();
    Ending Stream();
    // Fills the socket buffer `index` with the next packet that carries a JPEG frame.
    bool ReceivePacket(std::uint16_t index);
    // Makes the receive buffer hold at least `count` bytes.
    bool Fill(std::size_t count);
    void Consume(std::size_t count);
    // Reads the `length` bytes of a frame into `dst`: the kept bytes first, then straight from
    // the socket, never more than the frame, checking its step as they come. A null `dst` drops
    // the bytes.
    bool ReadFrame(std::uint8_t* dst, std::uint32_t length);
    int Receive(std::uint8_t* dst, std::size_t capacity);
    // Tells the trace and the user, once a connection for each kind, that the device sends
    // frames this program does not show.
    void NoteSkippedFrame(const SkippedFrame& frame);
    bool Fail(std::string traceLine) {
        m_failure = std::move(traceLine);
        return false;
    }
    // `reason` for the user, `detail` for the trace.
    bool OutOfStep(const char* reason, const std::string& detail) {
        m_outOfStep = reason;
        return Fail("Stream out of step: " + detail);
    }

    KernelObject& m_app;
    PacketHeaderParser& m_parser;
    FrameSlots& m_slots;
    CBlockingSocket m_socket;
    std::array<std::uint8_t, kReceiveBufferSize> m_receive{};
    std::size_t m_kept = 0;
    bool m_startNoted = false;
    bool m_oversizeNoted = false;
    std::uint16_t m_refusedStatus = 0;
    const char* m_outOfStep = nullptr;
    std::string m_failure;
};

bool StreamConnection::Connect() {
    const std::string request = VideoRequest();
    if (request.empty()) {
        return Fail("Stream request not sent: the session cookie cannot be carried");
    }
    try {
        const DeviceAddress device = GetDeviceAddress();
        m_socket.Create(CBlockingSocket::kStream);
        m_socket.Connect(IsDottedAddress(device.server)
                             ? CSocketAddress(device.server, device.webPort)
                             : CBlockingSocket::GetHostByName(device.server, device.webPort),
                         kConnectSeconds);
    } catch (const CBlockingSocketException&) {
        return Fail("sClient.Connect failed");
    }
    try {
        m_socket.Write(request.data(), static_cast<int>(request.size()), kSendSeconds);
    } catch (const CBlockingSocketException&) {
        return Fail("sClient.Write failed");
    }
    return true;
}

bool StreamConnection::Refused() {
    const auto* text = reinterpret_cast<const char*>(m_receive.data());
    if (m_kept < kStatusLine.size() || std::string_view(text, kStatusLine.size()) != kStatusLine) {
        return false;
    }
    // The status follows the first blank; the re-login tells the user.
    const std::string_view received(text, m_kept);
    std::uint32_t status = 0;
    if (const std::size_t blank = received.find(' '); blank != std::string_view::npos) {
        std::from_chars(received.data() + blank + 1, received.data() + received.size(), status);
    }
    m_refusedStatus = status <= kLargestStatus ? static_cast<std::uint16_t>(status) : 0;
    // The status line goes to the trace as far as it arrived.
    Fail("Stream refused: " +
         std::string(platform::FirstLine(received.substr(0, kTraceStatusLength)).text));
    return true;
}

int StreamConnection::Receive(std::uint8_t* dst, std::size_t capacity) {
    const int n = m_socket.Receive(
        dst, static_cast<int>(std::min<std::size_t>(capacity, std::numeric_limits<int>::max())),
        kReceiveSeconds);
    if (n > 0) {
        m_app.m_dwBytesReceived.fetch_add(static_cast<std::uint32_t>(n));
    }
    return n;
}

void StreamConnection::NoteSkippedFrame(const SkippedFrame& frame) {
    SetSkippedFrame(frame);
    // Once a connection: a stream of such frames would rewrite the trace and the status line for
    // every frame.
    bool& noted = frame.startSize != 0 ? m_startNoted : m_oversizeNoted;
    if (noted) {
        return;
    }
    noted = true;
    const std::string text = SkippedFrameText(frame);
    TraceLogWrite(("Frame skipped: " + text).c_str());
    if (MainWindowLink* window = m_app.m_pMainDialog.load()) {
        window->ShowStatusText(text);
    }
}

bool StreamConnection::Fill(std::size_t count) {
    while (m_kept < count) {
        const int n = Receive(m_receive.data() + m_kept, m_receive.size() - m_kept);
        if (n <= 0) {
            return Fail("if (RtpRecvLength == SOCKET_ERROR)");
        }
        m_kept += static_cast<std::size_t>(n);
    }
    return true;
}

void StreamConnection::Consume(std::size_t count) {
    std::memmove(m_receive.data(), m_receive.data() + count, m_kept - count);
    m_kept -= count;
}

bool StreamConnection::ReadFrame(std::uint8_t* dst, std::uint32_t length) {
    StreamStep::FrameCheck check(length);
    std::size_t done = 0;
    while (done < length) {
        // Nothing is kept once the frame goes on past the kept bytes, so dropped bytes may pass
        // through the receive buffer.
        const bool kept = m_kept > 0;
        std::uint8_t* bytes = dst ? dst + done : m_receive.data();
        std::size_t count = 0;
        if (kept) {
            count = std::min<std::size_t>(m_kept, length - done);
            if (dst) {
                std::memcpy(bytes, m_receive.data(), count);
            }
        } else {
            const int n =
                Receive(bytes, dst ? length - done
                                   : std::min<std::size_t>(m_receive.size(), length - done));
            if (n <= 0) {
                return Fail("RtpRecvLength == SOCKET_ERROR");
            }
            count = static_cast<std::size_t>(n);
        }
        const bool inStep = check.Take(bytes, count);
        if (kept) {
            Consume(count);
        }
        done += count;
        if (!inStep) {
            return OutOfStep(kLengthLied, "a frame of " + std::to_string(length) +
                                              " bytes whose picture ends at byte " +
                                              std::to_string(check.PictureLength()) +
                                              " with the next packet behind it");
        }
    }
    return true;
}

bool StreamConnection::ReceivePacket(std::uint16_t index) {
    namespace H = StreamPacketHeader;
    PacketInfo& info = m_app.m_lpPacketInfo[index];
    std::uint8_t* frame = m_app.m_lpSocketBuffer.get() + index * kSocketBufferSize;
    for (;;) {
        info = {};
        // Nothing of a header is acted on before the stream's step is judged on it, and nothing
        // of a frame's header before the frame has come whole and in step: a stream out of step
        // cannot be found again, so the connection ends and the session starts a fresh one.
        StreamStep::Judgement step;
        for (std::size_t need = H::kBitmapSize;; need = step.need) {
            if (!Fill(need)) {
                return false;
            }
            step = StreamStep::JudgeHeader(m_receive.data(), m_kept);
            if (step.need <= m_kept) {
                break;
            }
        }
        if (step.outOfStep != nullptr) {
            return OutOfStep(step.outOfStep, step.outOfStep);
        }
        std::uint32_t presence = 0;
        std::memcpy(&presence, m_receive.data(), sizeof presence);
        const std::size_t headerLength = H::Length(le32toh(presence));
        const std::uint32_t payload = H::PayloadLength(m_receive.data());
        std::array<std::uint8_t, H::kMaxLength> header{};
        std::memcpy(header.data(), m_receive.data(), headerLength);
        Consume(headerLength);
        std::uint32_t parsedLength = 0;
        if (payload == 0) {
            m_parser.Parse(header.data(), &parsedLength, &info);
            continue;  // a header without a frame; the next header follows directly
        }

        SkippedFrame skipped;
        const std::size_t startSize = std::min<std::size_t>(payload, kJpegFrameStart.size());
        if (!Fill(startSize)) {
            return false;
        }
        if (startSize < kJpegFrameStart.size() || IsJpegFrame(m_receive.data(), startSize) == 0) {
            skipped.startSize = static_cast<std::uint8_t>(startSize);
            std::memcpy(skipped.start.data(), m_receive.data(), startSize);
        } else if (payload > kSocketBufferSize) {
            skipped.oversizeLength = payload;
        }
        if (!ReadFrame(skipped.Empty() ? frame : nullptr, payload)) {
            return false;
        }
        // A skipped frame's header still counts: it carries the device's alarm state, which the
        // stream reports whether or not this program shows the frames.
        m_parser.Parse(header.data(), &parsedLength, &info);
        if (!skipped.Empty()) {
            NoteSkippedFrame(skipped);
            continue;
        }
        m_slots.m_socketArrival[index] = FrameClock::now();
        return true;
    }
}

Ending StreamConnection::Stream() {
    KernelObject& app = m_app;
    const platform::Handle waits[] = {app.h_FreeSocketBufferSem, app.h_EndofGetJpegImageEvent};
    for (;;) {
        if (platform::WaitForObject(app.h_NotifyGetJPEGImageThreadResetEvent, 0) ==
            platform::kWaitObject0) {
            return Ending::Stopped;
        }
        const std::uint32_t result = platform::WaitForAnyObject(waits, kFreeBufferWaitMs);
        if (result != platform::kWaitObject0) {
            // A tear-down sets the close request together with the end event: no reconnect then.
            if (result == platform::kWaitObject0 + 1 &&
                platform::WaitForObject(app.h_NotifyGetJPEGImageThreadResetEvent, 0) ==
                    platform::kWaitObject0) {
                return Ending::Stopped;
            }
            Fail(result == platform::kWaitObject0 + 1
                     ? "dwResult == (WAIT_OBJECT_0 + 1) Get_Image_TimeOut_Message"
                 : result == platform::kWaitTimeout
                     ? "dwResult == WAIT_TIMEOUT Get_Image_TimeOut_Message"
                     : "dwResult == else Get_Image_TimeOut_Message");
            return Ending::Broken;
        }
        if (app.m_fStreamThreadsRunning == 0) {
            app.m_fStreamThreadsRunning = 1;
        }
        if (app.m_fVideoReady == 0) {
            app.m_fVideoReady = 1;
        }
        const std::uint16_t index = app.m_wSocketWriteIndex;
        if (!ReceivePacket(index)) {
            return Ending::Broken;
        }
        app.m_wSocketWriteIndex =
            static_cast<std::uint16_t>((index + 1) % app.m_wSocketBufferCount);
        platform::ReleaseSemaphore(app.h_FilledSocketBufferSem);
    }
}

Ending StreamConnection::Run() {
    KernelObject& app = m_app;
    TraceLogWrite("Got start event");
    app.m_fConnected = 1;
    platform::ResetEvent(app.h_NotifyGetJPEGImageThreadResetEvent);
    platform::ResetEvent(app.h_Process_Reply_TerminateEvent);
    platform::SetEvent(app.h_StartToShowImageEvent);
    app.m_dwRateTick = platform::GetTickCount();
    for (auto* counter : {&app.m_dwBytesReceived, &app.m_dwFramesShown, &app.m_dwFramesAtRate,
                          &app.m_dwFramesLatest, &app.m_dwDataRateKbps}) {
        counter->exchange(0);
    }
    SetSkippedFrame({});
    g_streamState = kStreamConnecting;
    if (!Connect()) {
        return Ending::Broken;
    }
    g_streamState = kStreamReceiving;
    // Told apart before anything of a status line is parsed as a packet header.
    if (!Fill(kStatusLine.size())) {
        return Ending::Broken;
    }
    return Refused() ? Ending::Refused : Stream();
}

}  // namespace

std::uint32_t GetStreamState() {
    return g_streamState;
}

SkippedFrame GetSkippedFrame() {
    std::lock_guard lock(g_skippedMutex);
    return g_skippedFrame;
}

std::uint32_t Jpeg_TCP_Get_Image_Data_Thread(PacketHeaderParser& parser, FrameSlots& slots) {
    KernelObject& app = *g_lpApp;
    g_streamState = kStreamWaitingForStart;
    if (platform::WaitForObject(app.h_StartToGetJpegImageEvent, platform::kInfinite) !=
        platform::kWaitObject0) {
        g_streamState = kStreamStopped;
        return 0;
    }
    std::string failure;
    Ending ending = Ending::Stopped;
    std::uint16_t refusedStatus = 0;
    const char* outOfStep = nullptr;
    {
        StreamConnection connection(app, parser, slots);
        ending = connection.Run();
        failure = connection.FailureLine();
        refusedStatus = connection.RefusedStatus();
        outOfStep = connection.OutOfStepReason();
    }
    app.m_fConnected = 0;
    app.m_fStreamThreadsRunning = 0;
    // A failure caused by our own stop request is a stop, not a broken stream.
    if (ending == Ending::Stopped || platform::StopRequested()) {
        app.m_dwOutOfStepConnections = 0;
        g_streamState = kStreamStopped;
        platform::SetEvent(app.h_FeedBackForNotifyResetEvent);
        return 0;
    }
    g_streamState = kStreamBroken;
    TraceLogWrite(failure.c_str());
    if (ending == Ending::Refused) {
        app.m_wStreamRefusedStatus = refusedStatus;
        app.m_fStreamRefused = 1;
    }
    // One stream out of step may be a passing fault, and the session reconnects at once. A
    // device that loses the step again, after no frame or after a few, would do so at every
    // reconnect: from the second time on the re-login says why and waits.
    if (outOfStep != nullptr && ++app.m_dwOutOfStepConnections >= 2) {
        app.m_pStreamOutOfStep = outOfStep;
    }
    PostKernelMessage(Get_Image_TimeOut_Message, 0, 0);
    return 0;
}
