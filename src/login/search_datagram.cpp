#include "login/search_datagram.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/clock.h"
#include "protocol/blocking_socket.h"
#include "ui/message_sink.h"

namespace {

constexpr std::size_t kCommandOffset = 0;
constexpr std::size_t kTextField = 16;
constexpr std::size_t kOperationOffset = 16;
constexpr std::size_t kCodeOffset = 17;
constexpr std::size_t kMacOffset = 18;
constexpr std::size_t kUserOffset = 24;
constexpr std::size_t kPasswordOffset = 40;
constexpr std::size_t kAddressOffset = 56;
constexpr std::size_t kMaskOffset = 60;
constexpr std::size_t kGatewayOffset = 64;
constexpr std::size_t kDnsOffset = 68;
constexpr std::size_t kPortOffset = 72;

void PutText(LanSearchBytes& bytes, std::size_t offset, const std::string& text) {
    std::memcpy(&bytes[offset], text.data(), std::min(text.size(), kTextField - 1));
}

std::string GetText(const LanSearchBytes& bytes, std::size_t offset) {
    const char* text = reinterpret_cast<const char*>(&bytes[offset]);
    return std::string(text, ::strnlen(text, kTextField));
}

template <std::size_t N>
void PutBytes(LanSearchBytes& bytes, std::size_t offset, const std::array<std::uint8_t, N>& from) {
    std::memcpy(&bytes[offset], from.data(), N);
}

template <std::size_t N>
std::array<std::uint8_t, N> GetBytes(const LanSearchBytes& bytes, std::size_t offset) {
    std::array<std::uint8_t, N> to{};
    std::memcpy(to.data(), &bytes[offset], N);
    return to;
}

}  // namespace

LanSearchBytes EncodeLanSearchDatagram(const LanSearchDatagram& d) {
    LanSearchBytes bytes{};
    PutText(bytes, kCommandOffset, d.command);
    bytes[kOperationOffset] = d.operation;
    bytes[kCodeOffset] = d.code;
    PutBytes(bytes, kMacOffset, d.mac);
    PutText(bytes, kUserOffset, d.user);
    PutText(bytes, kPasswordOffset, d.password);
    PutBytes(bytes, kAddressOffset, d.address);
    PutBytes(bytes, kMaskOffset, d.mask);
    PutBytes(bytes, kGatewayOffset, d.gateway);
    PutBytes(bytes, kDnsOffset, d.dns);
    bytes[kPortOffset] = static_cast<std::uint8_t>(d.port);
    bytes[kPortOffset + 1] = static_cast<std::uint8_t>(d.port >> 8);
    return bytes;
}

LanSearchDatagram DecodeLanSearchDatagram(const LanSearchBytes& bytes) {
    LanSearchDatagram d;
    d.command = GetText(bytes, kCommandOffset);
    d.operation = bytes[kOperationOffset];
    d.code = bytes[kCodeOffset];
    d.mac = GetBytes<6>(bytes, kMacOffset);
    d.user = GetText(bytes, kUserOffset);
    d.password = GetText(bytes, kPasswordOffset);
    d.address = GetBytes<4>(bytes, kAddressOffset);
    d.mask = GetBytes<4>(bytes, kMaskOffset);
    d.gateway = GetBytes<4>(bytes, kGatewayOffset);
    d.dns = GetBytes<4>(bytes, kDnsOffset);
    d.port = static_cast<std::uint16_t>(bytes[kPortOffset] | bytes[kPortOffset + 1] << 8);
    return d;
}

namespace {

constexpr LanDeviceKind kKinds[] = {
    {0x32, "Video Server"},          {0x57, "16CH MPEG4 DVR"},
    {0x71, "4CH NETWORK DVR"},       {0x72, "4CH NETWORK DVR"},
    {0x73, "4CH NETWORK DVR"},       {0x76, "9CH NETWORK DMR"},
    {0x77, "16CH NETWORK DMR"},      {0x80, "4CH NETWORK MPEG2 DVR"},
    {0x84, "4CH NETWORK MPEG2 DVR"}, {0x8A, "4CH NETWORK MPEG2 DVR"},
};

}  // namespace

LanDeviceKind MapLanDeviceCode(std::uint8_t code) {
    for (const LanDeviceKind& kind : kKinds) {
        if (kind.code == code) {
            return kind;
        }
    }
    return kKinds[0];
}

std::span<const LanDeviceKind> LanDeviceKinds() {
    return kKinds;
}

namespace {

// One decimal number 0..255 of 1 to 3 digits, or one hex pair.
std::optional<std::uint8_t> ParseByte(std::string_view piece, int base) {
    const std::size_t maxDigits = base == 10 ? 3 : 2;
    if (piece.empty() || piece.size() > maxDigits || (base == 16 && piece.size() != 2)) {
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(piece.data(), piece.data() + piece.size(), value, base);
    if (error != std::errc() || end != piece.data() + piece.size() || value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> ParseBytes(std::string_view text, char separator,
                                                      int base) {
    std::array<std::uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t end = text.find(separator);
        if ((end == std::string_view::npos) != (i == N - 1)) {
            return std::nullopt;
        }
        const std::optional<std::uint8_t> byte = ParseByte(text.substr(0, end), base);
        if (!byte) {
            return std::nullopt;
        }
        bytes[i] = *byte;
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return bytes;
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> ParseDottedQuad(std::string_view text) {
    return ParseBytes<4>(text, '.', 10);
}

std::optional<std::array<std::uint8_t, 6>> ParseMacText(std::string_view text) {
    return ParseBytes<6>(text, ':', 16);
}

std::string FormatDottedQuad(const std::array<std::uint8_t, 4>& b) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::string FormatMacText(const std::array<std::uint8_t, 6>& m) {
    char text[20];
    std::snprintf(text, sizeof text, "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

std::string LanSearchEndpoints::LocalAddress() const {
    return localAddress.empty() ? platform::LocalIPv4Address() : localAddress;
}

bool SendSearchBroadcast(const LanSearchBytes& datagram, const LanSearchEndpoints& endpoints) {
    CBlockingSocket socket;
    bool sent = false;
    try {
        socket.Create(CBlockingSocket::kDatagram);
        socket.SetSockOpt();
        socket.Bind(CSocketAddress(endpoints.LocalAddress(), endpoints.sendPort));
        socket.m_PeerAddress = CSocketAddress(endpoints.destination, endpoints.destinationPort);
        sent = socket.Sendto(datagram.data(), static_cast<int>(datagram.size())) ==
               static_cast<int>(datagram.size());
    } catch (const CBlockingSocketException&) {
        sent = false;
    }
    socket.Close();
    if (!sent) {
        ui::ShowMessage("SendBroadCast is wrong");
    }
    return sent;
}

LanReplySocket::Open LanReplySocket::Bind(const LanSearchEndpoints& endpoints) {
    m_socket = platform::SocketFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!m_socket) {
        return Open::NoSocket;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(endpoints.replyPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!endpoints.replyBindAddress.empty() &&
        ::inet_pton(AF_INET, endpoints.replyBindAddress.c_str(), &local.sin_addr) != 1) {
        m_socket.Close();
        return Open::BindFailed;
    }
    if (::bind(m_socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        m_socket.Close();
        return Open::BindFailed;
    }
    return Open::Ok;
}

bool IsLanAnswer(const std::uint8_t* datagram, std::size_t length,
                 const std::optional<LanMac>& device) {
    if (length != kLanSearchDatagramSize) {
        return false;
    }
    LanMac mac;
    std::memcpy(mac.data(), datagram + kMacOffset, mac.size());
    // No device has the zero address, and a group address (low bit of the first byte) is none.
    const bool unicast = (mac[0] & 1) == 0 && mac != LanMac{};
    return unicast && (!device || mac == *device);
}

LanReplySocket::Wait LanReplySocket::ReceiveOne(std::uint32_t timeoutMs, LanSearchBytes& answer,
                                                const std::optional<LanMac>& device) {
    if (!m_socket) {
        return Wait::Failed;
    }
    switch (platform::WaitReadable(m_socket.Get(), timeoutMs)) {
        case platform::Readiness::TimedOut:
            return Wait::TimedOut;
        case platform::Readiness::Stopped:
            return Wait::Stopped;
        case platform::Readiness::Ready:
            break;
    }
    // One byte more than a whole answer, so that an overlong datagram is told apart.
    std::uint8_t buffer[kLanSearchDatagramSize + 1] = {};
    const ssize_t n = ::recv(m_socket.Get(), buffer, sizeof buffer, 0);
    if (n < 0) {
        return Wait::Failed;
    }
    if (!IsLanAnswer(buffer, static_cast<std::size_t>(n), device)) {
        return Wait::Dropped;
    }
    std::memcpy(answer.data(), buffer, kLanSearchDatagramSize);
    return Wait::Datagram;
}

LanReplySocket::Wait LanReplySocket::Receive(std::uint32_t timeoutMs, LanSearchBytes& answer,
                                             const std::optional<LanMac>& device) {
    const std::uint32_t start = platform::GetTickCount();
    for (;;) {
        const std::uint32_t waited = platform::GetTickCount() - start;
        if (waited >= timeoutMs) {
            return m_socket ? Wait::TimedOut : Wait::Failed;
        }
        const Wait wait = ReceiveOne(timeoutMs - waited, answer, device);
        if (wait != Wait::Dropped) {
            return wait;
        }
    }
}

bool LanAnswerCollector::Offer(const LanSearchBytes& answer) {
    LanMac mac;
    std::memcpy(mac.data(), &answer[kMacOffset], mac.size());
    const auto sameDevice = [&mac](const LanSearchBytes& waiting) {
        return std::memcmp(&waiting[kMacOffset], mac.data(), mac.size()) == 0;
    };
    std::lock_guard lock(m_mutex);
    if (!m_devices.contains(mac)) {
        if (m_devices.size() >= kMaxDevices) {
            return false;
        }
        m_devices.insert(mac);
    }
    // At most kMaxDevices answers wait, so the search for an earlier one stays short.
    const auto waiting = std::find_if(m_waiting.begin(), m_waiting.end(), sameDevice);
    if (waiting != m_waiting.end()) {
        *waiting = answer;
        return false;
    }
    m_waiting.push_back(answer);
    return m_waiting.size() == 1;
}

std::vector<LanSearchBytes> LanAnswerCollector::Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_waiting, {});
}
