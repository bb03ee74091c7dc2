#include "protocol/command_sender.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <optional>

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "protocol/blocking_socket.h"
#include "protocol/cgi_reply.h"
#include "protocol/cgi_request.h"
#include "protocol/session.h"
#include "ui/message_sink.h"

namespace {

constexpr const char* kWrongAddress = "IP Address is wrong.";
constexpr const char* kConnectTimeOut = "Create connection is time out";

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
    CBlockingSocket socket;
    const auto fail = [status](SendFailure failure) {
        if (status) {
            status->failure = failure;
        }
        return 0;
    };
    try {
        socket.Create(CBlockingSocket::kStream);
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
            socket.Connect(address, sendSeconds);
        } catch (const CBlockingSocketException& e) {
            MainWindowLink* window = g_lpApp->m_pMainDialog.load();
            if (showTimeout == 1 && command == CGI_LOGIN && window) {
                window->ShowStatusText(kConnectTimeOut);
            }
            return fail(ConnectFailure(e.Error()));
        }
        socket.Write(request.data(), static_cast<int>(request.size()), sendSeconds);
    } catch (const CBlockingSocketException&) {
        return fail(SendFailure::NoAnswer);
    }
    // A reboot is not answered.
    if (command == CGI_REBOOTSERVER) {
        return 1;
    }

    const CgiReplyResult result = ReadCgiReply(
        socket, static_cast<std::uint32_t>(receiveSeconds) * 1000u, reply, replyCapacity);
    if (result.failure != SendFailure::None) {
        if (status && result.failure == SendFailure::Status) {
            status->httpStatus = result.httpStatus;
        }
        return fail(result.failure);
    }
    if (replyLength) {
        *replyLength = result.bodyLength;
    }
    return 1;
}
