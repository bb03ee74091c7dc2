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
#include "protocol/blocking_socket.h"
#include "protocol/cgi_request.h"
#include "protocol/session.h"
#include "ui/message_sink.h"

namespace {

constexpr const char* kHeaderLines =
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n";
constexpr const char* kWrongAddress = "IP Address is wrong.";
constexpr const char* kConnectTimeOut = "Create connection is time out";
// Replies of this many bytes or fewer cannot hold a status line.
constexpr std::size_t kShortestReply = 12;
// Room for the status line and headers of any device reply.
constexpr std::size_t kHeaderCapacity = 4096;

std::mutex g_addressMutex;
std::optional<std::string> g_strPendingServer;
std::optional<std::uint16_t> g_wPendingWebPort;

std::string RequestText(const std::string& url, const void* body, std::uint32_t bodyLength) {
    std::string text = "GET " + url + " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\n";
    if (body) {
        text += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
    }
    text += kHeaderLines;
    text += "Host: " + g_strHostName.Get() + "\r\nConnection: Keep-Alive\r\n\r\n";
    if (body) {
        text.append(static_cast<const char*>(body), bodyLength);
    }
    return text;
}

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

void ApplyPendingAddress() {
    std::lock_guard lock(g_addressMutex);
    ::CSettingINI& settings = g_lpApp->CSettingINI;
    if (g_wPendingWebPort) {
        settings.m_wWebPort = *g_wPendingWebPort;
        g_wPendingWebPort.reset();
    }
    if (g_strPendingServer) {
        settings.m_strServerName = *g_strPendingServer;
        g_strPendingServer.reset();
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

class ConnectionToDevice {
public:
    explicit ConnectionToDevice(std::uint16_t receiveSeconds) : m_receiveSeconds(receiveSeconds) {}

    CBlockingSocket socket;

    // Receives until the header block is complete, the peer stops sending or the header room is
    // full. Returns the bytes received so far.
    const std::string& ReceiveHeader() {
        char piece[1460];
        while (m_received.find("\r\n\r\n") == std::string::npos &&
               m_received.size() < kHeaderCapacity) {
            const int n = socket.Receive(
                piece,
                static_cast<int>(std::min(sizeof piece, kHeaderCapacity - m_received.size())),
                m_receiveSeconds);
            if (n <= 0) {
                break;
            }
            m_received.append(piece, static_cast<std::size_t>(n));
        }
        return m_received;
    }

    // Fills `out` with exactly `length` body bytes: those already received behind the header,
    // then more receives. False when the device sends fewer in time.
    bool ReceiveBody(std::size_t headerEnd, std::uint8_t* out, std::size_t length) {
        const std::size_t inHand = std::min(m_received.size() - headerEnd, length);
        std::memcpy(out, m_received.data() + headerEnd, inHand);
        std::size_t have = inHand;
        while (have < length) {
            const int n =
                socket.Receive(out + have, static_cast<int>(length - have), m_receiveSeconds);
            if (n <= 0) {
                return false;
            }
            have += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    std::uint16_t m_receiveSeconds;
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
    // A switch still pending belongs to the device the client talked to before.
    g_strPendingServer.reset();
    g_wPendingWebPort.reset();
}

void SetPendingServer(const std::string& dotted) {
    std::lock_guard lock(g_addressMutex);
    g_strPendingServer = dotted;
}

void SetPendingWebPort(std::uint16_t port) {
    std::lock_guard lock(g_addressMutex);
    g_wPendingWebPort = port;
}

int VortaSendCommand(std::uint8_t command, const std::string& url, const void* body,
                     std::uint32_t bodyLength, VortaStatus* status, void* reply,
                     std::uint32_t replyCapacity, std::uint32_t* replyLength,
                     std::uint16_t sendSeconds, std::uint16_t receiveSeconds,
                     std::uint16_t showTimeout) {
    // Parameters go out unencoded, as the device expects; a line break or NUL among them would
    // end the request line early, so such a request is not sent at all.
    if (url.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        return 0;
    }
    const std::string request = RequestText(url, body, bodyLength);
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
    if (received.size() <= kShortestReply) {
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
    ApplyPendingAddress();
    return 1;
}
