#include "protocol/idle_protocol.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>

#include "kernel/kernel_object.h"
#include "kernel/utilities.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "protocol/blocking_socket.h"
#include "protocol/command_sender.h"
#include "protocol/login.h"
#include "protocol/session.h"
#include "ui/message_sink.h"

namespace {

std::atomic<std::uint16_t> g_wPingIdentifier{0};
std::atomic<std::uint16_t> g_wPingSequence{0};

constexpr const char* kBindFailed = "Bind Socket is failed";

CSocketAddress DeviceSocketAddress(const DeviceAddress& device) {
    return IsDottedAddress(device.server) == 2
               ? CSocketAddress(device.server, device.webPort)
               : CBlockingSocket::GetHostByName(device.server, device.webPort);
}

}  // namespace

std::array<std::uint8_t, CPing::kRequestSize> CPing::BuildRequest(std::uint32_t tick) {
    std::array<std::uint8_t, kRequestSize> m{};
    m[0] = 8;
    const std::uint16_t id = ++g_wPingIdentifier;
    const std::uint16_t sequence = ++g_wPingSequence;
    std::memcpy(&m[4], &id, 2);
    std::memcpy(&m[6], &sequence, 2);
    for (int i = 0; i < 4; ++i) {
        m[9 + i] = static_cast<std::uint8_t>(tick >> (8 * i));
    }
    for (std::size_t i = 0; i < 32; ++i) {
        m[13 + i] = static_cast<std::uint8_t>(0x20 + i);
    }
    const std::uint16_t checksum = InternetChecksum(m.data(), m.size());
    std::memcpy(&m[2], &checksum, 2);
    return m;
}

std::uint32_t CPing::Ping(const std::string& host) {
    const auto address = platform::ResolveIPv4(host);
    if (!address) {
        return 0;
    }
    platform::SocketFd fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!fd) {
        return 0;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = *address;
    const auto request = BuildRequest(platform::GetTickCount());
    if (::sendto(fd.Get(), request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0 ||
        platform::WaitReadable(fd.Get(), 1000) != platform::Readiness::Ready) {
        return 0;
    }
    std::uint8_t reply[321];
    return ::recv(fd.Get(), reply, sizeof reply, 0) > 0 ? 1 : 0;
}

std::uint32_t DectectSocketConnection() {
    const DeviceAddress device = GetDeviceAddress();
    CBlockingSocket socket;
    try {
        socket.Create(CBlockingSocket::kStream);
        if (device.server.empty()) {
            return 0;
        }
        socket.Connect(DeviceSocketAddress(device), kCommandSeconds);
    } catch (const CBlockingSocketException&) {
        return 0;
    }
    return 1;
}

std::vector<std::string> UdpSessionDatagrams() {
    const std::string head = "Session: " + g_szSessionCookie.Get() +
                             "\r\nGET / HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\n"
                             "Accept-Encoding: gzip, deflate\r\n"
                             "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; "
                             ".NET CLR 1.1.4322)\r\n";
    const std::string tail =
        "Host: " + g_strHostName.Get() + "\r\nConnection: Keep-Alive\r\nContent-Lentght: 0\r\n\r\n";
    return {head + tail, head + "Connection: Close\r\n" + tail};
}

std::uint32_t UdpSessionThread(Login& login) {
    for (;;) {
        const platform::Handle events[] = {login.m_hSendEvent, login.m_hStopEvent};
        if (platform::WaitForAnyObject(events, platform::kInfinite) != platform::kWaitObject0) {
            return 0;
        }
        CBlockingSocket socket;
        try {
            socket.Create(CBlockingSocket::kDatagram);
            socket.Bind(CSocketAddress("0.0.0.0", 0));
        } catch (const CBlockingSocketException&) {
            ui::ShowMessage(std::string(kBindFailed));
            continue;
        }
        try {
            socket.m_PeerAddress = DeviceSocketAddress(GetDeviceAddress());
            for (const std::string& datagram : UdpSessionDatagrams()) {
                socket.Sendto(datagram.data(), static_cast<int>(datagram.size()));
            }
        } catch (const CBlockingSocketException&) {
        }
    }
}

std::uint32_t MpegPesTimestamp(const std::uint8_t* h, std::size_t length) {
    if (length < 9 || h[0] != 0 || h[1] != 0 || h[2] != 1 || (h[3] & 0xF0) != 0xE0 ||
        (h[6] & 0xC0) != 0x80) {
        return 0;
    }
    // A 33-bit time in five bytes behind a four-bit prefix, with marker bits after each part.
    const auto read = [&](std::size_t at, std::uint8_t prefix) -> std::optional<std::uint64_t> {
        if (length < at + 5 || (h[at] >> 4) != prefix || !(h[at] & 1) || !(h[at + 2] & 1) ||
            !(h[at + 4] & 1)) {
            return std::nullopt;
        }
        return (std::uint64_t{h[at] & 0x0Eu} << 29) | (std::uint64_t{h[at + 1]} << 22) |
               (std::uint64_t{h[at + 2] & 0xFEu} << 14) | (std::uint64_t{h[at + 3]} << 7) |
               (h[at + 4] >> 1);
    };
    const int flags = h[7] >> 6;
    std::optional<std::uint64_t> time;
    if (flags == 2) {
        time = read(9, 2);
    } else if (flags == 3 && read(9, 3)) {
        time = read(14, 1);
    }
    return time ? static_cast<std::uint32_t>(*time) : 0;
}

std::int16_t MuLawToLinear(std::uint8_t sample) {
    const std::uint8_t u = static_cast<std::uint8_t>(~sample);
    const int exponent = (u >> 4) & 0x07;
    const int magnitude = (((u & 0x0F) << 3) + 132) << exponent;
    return static_cast<std::int16_t>((u & 0x80) ? 132 - magnitude : magnitude - 132);
}

std::size_t FindJpegEnd(const std::uint8_t* buffer, std::size_t length) {
    for (std::size_t i = 0; i + 4 <= length; ++i) {
        if (buffer[i] == 0xFF && buffer[i + 1] == 0xD9 && buffer[i + 2] == 0xFF &&
            buffer[i + 3] == 0xFF) {
            return i + 1;
        }
    }
    return 0;
}

CMpegStreamParser::CMpegStreamParser() = default;
