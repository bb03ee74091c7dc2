#include "protocol/command_sender.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "platform/clock.h"
#include "protocol/blocking_socket.h"
#include "protocol/cgi_request.h"
#include "protocol/session.h"
#include "ui/message_sink.h"

namespace {

constexpr const char* kWrongAddress = "IP Address is wrong.";
constexpr const char* kConnectTimeOut = "Create connection is time out";
// Replies of this many bytes or fewer cannot hold a status line.
constexpr std::size_t kShortestReply = 12;
// Room for the status line and headers of any device reply.
constexpr std::size_t kHeaderCapacity = 4096;

std::mutex g_addressMutex;

// A wrong address typed by the user gets a box; a worker thread must not raise one, so there
// the status line and the trace tell it.
void ReportWrongAddress() {
    if (ui::IsGuiThread()) {
        ui::ShowMessage(std::string(kWrongAddress));
        return;
    }
    TraceLogWrite(kWrongAddress);
    if (MainWindowLink* window = g_lpApp ? g_lpApp->m_pMainDialog.load() : nullptr) {
        window->ShowStatusText(kWrongAddress);
    }
}

// The value of a header whose name matches without regard to case, in the header block only.
std::optional<std::string_view> HeaderValue(std::string_view headers, std::string_view name) {
    std::string upper(headers);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t at = upper.find(name);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::size_t start = headers.find(':', at + name.size());
    const std::size_t end = headers.find("\r\n", at);
    if (start == std::string_view::npos || start > end) {
        return std::string_view{};
    }
    ++start;
    return headers.substr(start, end == std::string_view::npos ? end : end - start);
}

// Content-Length as decimal digits after optional blanks; nullopt when it is not a length.
std::optional<std::uint64_t> ParseLength(std::string_view value) {
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
    }
    std::uint64_t length = 0;
    std::size_t digits = 0;
    for (; digits < value.size() && std::isdigit(static_cast<unsigned char>(value[digits]));
         ++digits) {
        length = length * 10 + static_cast<std::uint64_t>(value[digits] - '0');
        if (length > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return length;
}

// The status number: the characters after the first blank up to the next one, as atoi reads
// them.
int StatusOf(std::string_view reply) {
    const std::size_t blank = reply.find(' ');
    if (blank == std::string_view::npos) {
        return 0;
    }
    const std::string_view rest = reply.substr(blank + 1, 127);
    return std::atoi(std::string(rest.substr(0, rest.find(' '))).c_str());
}

SendFailure ConnectFailure(int error) {
    switch (error) {
        case ECONNREFUSED:
            return SendFailure::Refused;
        case EHOSTUNREACH:
        case ENETUNREACH:
            return SendFailure::Unreachable;
        default:
            return SendFailure::NoAnswer;
    }
}

// One exchange's connection. The receive time-out bounds the whole reply, header and body
// together, so a device that trickles its bytes cannot hold the caller longer than a silent one.
class ConnectionToDevice {
public:
    explicit ConnectionToDevice(std::uint16_t receiveSeconds)
        : m_wholeReplyMs(static_cast<std::uint32_t>(receiveSeconds) * 1000u) {}

    CBlockingSocket socket;

    // Receives until the header block is complete, the peer stops sending or the header room is
    // full. Returns the bytes received so far. The reply's time starts here.
    const std::string& ReceiveHeader() {
        m_dwReplyStart = platform::GetTickCount();
        char piece[1460];
        while (m_received.find("\r\n\r\n") == std::string::npos &&
               m_received.size() < kHeaderCapacity) {
            const int n = Receive(piece, static_cast<int>(std::min(
                                             sizeof piece, kHeaderCapacity - m_received.size())));
            if (n <= 0) {
                break;
            }
            m_received.append(piece, static_cast<std::size_t>(n));
        }
        return m_received;
    }

    // True when the last receive ended because the reply's time was up.
    bool OutOfTime() const { return m_fOutOfTime; }

    // Fills `out` with exactly `length` body bytes: those already received behind the header,
    // then more receives. False when the device sends fewer in time.
    bool ReceiveBody(std::size_t headerEnd, std::uint8_t* out, std::size_t length) {
        const std::size_t inHand = std::min(m_received.size() - headerEnd, length);
        std::memcpy(out, m_received.data() + headerEnd, inHand);
        std::size_t have = inHand;
        while (have < length) {
            const int n = Receive(out + have, static_cast<int>(length - have));
            if (n <= 0) {
                return false;
            }
            have += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    // -1 once the reply's time is up, else one receive within what is left of it.
    int Receive(void* into, int capacity) {
        const std::uint32_t elapsed = platform::GetTickCount() - m_dwReplyStart;
        if (elapsed >= m_wholeReplyMs ||
            platform::WaitReadable(socket.Handle(), m_wholeReplyMs - elapsed) ==
                platform::Readiness::TimedOut) {
            m_fOutOfTime = true;
            return -1;
        }
        // Readable, closed or stopped: the receive tells which without waiting.
        return socket.Receive(into, capacity, 0);
    }

    std::uint32_t m_wholeReplyMs;
    std::uint32_t m_dwReplyStart = 0;
    bool m_fOutOfTime = false;
    std::string m_received;
};

}  // namespace

int IsDottedAddress(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; })
               ? 2
               : 1;
}

DeviceAddress GetDeviceAddress() {
    std::lock_guard lock(g_addressMutex);
    const ::CSettingINI& settings = g_lpApp->CSettingINI;
    return {settings.m_strServerName, settings.m_wWebPort};
}

void SetDeviceAddress(const std::string& server, std::uint16_t webPort) {
    std::lock_guard lock(g_addressMutex);
    g_lpApp->CSettingINI.m_strServerName = server;
    g_lpApp->CSettingINI.m_wWebPort = webPort;
}

void SwitchDeviceAddress(const std::optional<std::string>& server,
                         std::optional<std::uint16_t> webPort) {
    std::lock_guard lock(g_addressMutex);
    ::CSettingINI& settings = g_lpApp->CSettingINI;
    if (server) {
        settings.m_strServerName = *server;
    }
    if (webPort) {
        settings.m_wWebPort = *webPort;
    }
}

int VortaSendCommand(std::uint8_t command, const std::string& url, const void* body,
                     std::uint32_t bodyLength, VortaStatus* status, void* reply,
                     std::uint32_t replyCapacity, std::uint32_t* replyLength,
                     std::uint16_t sendSeconds, std::uint16_t receiveSeconds,
                     std::uint16_t showTimeout) {
    // A refused request has no url; one that a request line cannot carry is not sent at all.
    std::string request = DeviceRequestHead(url, g_strHostName.Get(),
                                            body ? std::optional(bodyLength) : std::nullopt);
    if (request.empty()) {
        return 0;
    }
    if (body) {
        request.append(static_cast<const char*>(body), bodyLength);
    }
    const DeviceAddress device = GetDeviceAddress();
    ConnectionToDevice connection(receiveSeconds);
    const auto fail = [status](SendFailure failure) {
        if (status) {
            status->failure = failure;
        }
        return 0;
    };
    try {
        connection.socket.Create(CBlockingSocket::kStream);
        if (device.server.empty()) {
            return fail(SendFailure::NoAddress);
        }
        CSocketAddress address;
        if (IsDottedAddress(device.server) == 2) {
            address = CSocketAddress(device.server, device.webPort);
        } else {
            try {
                address = CBlockingSocket::GetHostByName(device.server, device.webPort);
            } catch (const CBlockingSocketException&) {
                ReportWrongAddress();
                return fail(SendFailure::NoSuchHost);
            }
            if (command == CGI_LOGIN) {
                std::lock_guard lock(g_addressMutex);
                g_lpApp->CSettingINI.m_strServerName = address.DottedText();
            }
        }
        try {
            connection.socket.Connect(address, sendSeconds);
        } catch (const CBlockingSocketException& e) {
            MainWindowLink* window = g_lpApp->m_pMainDialog.load();
            if (showTimeout == 1 && command == CGI_LOGIN && window) {
                window->ShowStatusText(kConnectTimeOut);
            }
            return fail(ConnectFailure(e.Error()));
        }
        connection.socket.Write(request.data(), static_cast<int>(request.size()), sendSeconds);
    } catch (const CBlockingSocketException&) {
        return fail(SendFailure::NoAnswer);
    }
    // A reboot is not answered.
    if (command == CGI_REBOOTSERVER) {
        return 1;
    }

    const std::string& received = connection.ReceiveHeader();
    // A header cut short by the device's close is read as far as it came; one that was still
    // arriving when the time ran out is no reply.
    if (received.size() <= kShortestReply || connection.OutOfTime()) {
        return fail(SendFailure::NoAnswer);
    }
    const int httpStatus = StatusOf(received);
    if (httpStatus != 200) {
        if (status) {
            status->httpStatus = httpStatus;
        }
        return fail(SendFailure::Status);
    }
    const std::size_t headerEnd = received.find("\r\n\r\n");
    const std::string_view headers(received.data(),
                                   headerEnd == std::string::npos ? received.size() : headerEnd);
    std::uint64_t contentLength = 0;
    if (const auto value = HeaderValue(headers, "CONTENT-LENGTH")) {
        const auto parsed = ParseLength(*value);
        if (!parsed) {
            return fail(SendFailure::BadReply);
        }
        contentLength = *parsed;
    }
    if (contentLength > 0 && reply) {
        // A body needs the whole header before it, and room in the caller's buffer.
        if (headerEnd == std::string::npos || contentLength > replyCapacity ||
            !connection.ReceiveBody(headerEnd + 4, static_cast<std::uint8_t*>(reply),
                                    static_cast<std::size_t>(contentLength))) {
            return fail(SendFailure::BadReply);
        }
    }
    if (replyLength) {
        *replyLength = reply ? static_cast<std::uint32_t>(contentLength) : 0;
    }
    return 1;
}
