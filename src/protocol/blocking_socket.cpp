#include "protocol/blocking_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace {

std::uint32_t Ms(int seconds) {
    return static_cast<std::uint32_t>(seconds < 0 ? 0 : seconds) * 1000u;
}

constexpr int kSendWaitSeconds = 5;

}  // namespace

CSocketAddress::CSocketAddress() {
    std::memset(&m_address, 0, sizeof m_address);
    m_address.sin_family = AF_INET;
}

CSocketAddress::CSocketAddress(const std::string& dotted, std::uint16_t port) : CSocketAddress() {
    m_address.sin_addr.s_addr = ::inet_addr(dotted.c_str());
    m_address.sin_port = htons(port);
}

std::uint32_t CSocketAddress::HostOrderAddress() const {
    return ntohl(m_address.sin_addr.s_addr);
}

std::uint16_t CSocketAddress::HostOrderPort() const {
    return ntohs(m_address.sin_port);
}

std::string CSocketAddress::DottedText() const {
    const std::uint32_t a = HostOrderAddress();
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

CBlockingSocket::~CBlockingSocket() {
    Cleanup();
}

void CBlockingSocket::Create(int type) {
    const int kind = type == kDatagram ? SOCK_DGRAM : SOCK_STREAM;
    platform::SocketFd fd(::socket(AF_INET, kind | SOCK_CLOEXEC, 0));
    if (!fd) {
        throw CBlockingSocketException("Create");
    }
    m_hSocket = std::move(fd);
}

void CBlockingSocket::Bind(const CSocketAddress& address) {
    if (::bind(Handle(), reinterpret_cast<const sockaddr*>(&address.Raw()), sizeof(sockaddr_in)) !=
        0) {
        throw CBlockingSocketException("Bind");
    }
}

void CBlockingSocket::Listen() {
    if (::listen(Handle(), 5) != 0) {
        throw CBlockingSocketException("Listen");
    }
}

bool CBlockingSocket::Accept(CBlockingSocket& target, CSocketAddress& peer) {
    socklen_t length = sizeof(sockaddr_in);
    const int fd =
        ::accept4(Handle(), reinterpret_cast<sockaddr*>(&peer.Raw()), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        if (errno == EINTR) {
            return false;
        }
        throw CBlockingSocketException("Accept");
    }
    target.m_hSocket = platform::SocketFd(fd);
    return true;
}

void CBlockingSocket::Close() {
    if (!m_hSocket) {
        return;
    }
    if (m_hSocket.Close() != 0) {
        throw CBlockingSocketException("Close");
    }
    m_fConnected = false;
}

void CBlockingSocket::Cleanup() {
    m_hSocket.Close();
    m_fConnected = false;
}

void CBlockingSocket::Connect(const CSocketAddress& address, int seconds) {
    if (!m_hSocket) {
        throw CBlockingSocketException("Connect", EBADF);
    }
    if (const int error = platform::ConnectWithin(Handle(), address.Raw(), Ms(seconds))) {
        throw CBlockingSocketException("Connect", error);
    }
    m_fConnected = true;
}

void CBlockingSocket::WaitWritable(int seconds) {
    if (platform::WaitWritable(Handle(), Ms(seconds)) != platform::Readiness::Ready) {
        throw CBlockingSocketException("Send timeout");
    }
}

int CBlockingSocket::Write(const void* buffer, int length, int seconds) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    int sent = 0;
    while (sent < length) {
        WaitWritable(seconds);
        const ssize_t n =
            platform::SendNoSignal(Handle(), bytes + sent, static_cast<std::size_t>(length - sent));
        if (n < 0) {
            throw CBlockingSocketException("Send");
        }
        sent += static_cast<int>(n);
    }
    return sent;
}

int CBlockingSocket::Send(const void* buffer, int length, int /*seconds*/) {
    WaitWritable(kSendWaitSeconds);
    const ssize_t n =
        platform::SendNoSignal(Handle(), buffer, static_cast<std::size_t>(length < 0 ? 0 : length));
    if (n < 0) {
        throw CBlockingSocketException("Send");
    }
    return static_cast<int>(n);
}

int CBlockingSocket::SendAll(const void* buffer, int length, int seconds) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    int sent = 0;
    while (sent < length) {
        sent += Send(bytes + sent, length - sent, seconds);
    }
    return sent;
}

int CBlockingSocket::Receive(void* buffer, int capacity, int seconds) {
    if (!m_hSocket || capacity <= 0 ||
        platform::WaitReadable(Handle(), Ms(seconds)) != platform::Readiness::Ready) {
        return -1;
    }
    const ssize_t n = ::recv(Handle(), buffer, static_cast<std::size_t>(capacity), 0);
    return n > 0 ? static_cast<int>(n) : -1;
}

int CBlockingSocket::ReceiveDatagram(void* buffer, int capacity, CSocketAddress& source,
                                     int /*seconds*/) {
    socklen_t length = sizeof(sockaddr_in);
    const ssize_t n = ::recvfrom(Handle(), buffer, static_cast<std::size_t>(capacity), 0,
                                 reinterpret_cast<sockaddr*>(&source.Raw()), &length);
    if (n < 0) {
        throw CBlockingSocketException("ReceiveDatagram");
    }
    return static_cast<int>(n);
}

int CBlockingSocket::SendDatagram(const void* buffer, int length, const CSocketAddress& destination,
                                  int seconds) {
    WaitWritable(seconds);
    const ssize_t n =
        ::sendto(Handle(), buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&destination.Raw()), sizeof(sockaddr_in));
    if (n < 0) {
        throw CBlockingSocketException("SendDatagram");
    }
    return static_cast<int>(n);
}

void CBlockingSocket::GetPeerName(CSocketAddress& address) {
    socklen_t length = sizeof(sockaddr_in);
    if (::getpeername(Handle(), reinterpret_cast<sockaddr*>(&address.Raw()), &length) != 0) {
        throw CBlockingSocketException("GetPeerName");
    }
}

void CBlockingSocket::GetSockName(CSocketAddress& address) {
    socklen_t length = sizeof(sockaddr_in);
    if (::getsockname(Handle(), reinterpret_cast<sockaddr*>(&address.Raw()), &length) != 0) {
        throw CBlockingSocketException("GetSockName");
    }
}

int CBlockingSocket::Sendto(const void* buffer, int length) {
    const ssize_t n =
        ::sendto(Handle(), buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&m_PeerAddress.Raw()), sizeof(sockaddr_in));
    if (n < 0) {
        throw CBlockingSocketException("Sendto");
    }
    return static_cast<int>(n);
}

int CBlockingSocket::SetSockOpt() {
    const int on = 1;
    if (::setsockopt(Handle(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        throw CBlockingSocketException("SetSockOpt");
    }
    return 0;
}

CSocketAddress CBlockingSocket::GetHostByName(const std::string& name, std::uint16_t port) {
    const auto address = platform::ResolveIPv4(name);
    if (!address) {
        throw CBlockingSocketException("GetHostByName");
    }
    CSocketAddress result;
    result.Raw().sin_addr.s_addr = *address;
    result.Raw().sin_port = htons(port);
    return result;
}

std::string CBlockingSocket::GetHostByAddr(const CSocketAddress& address) {
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address.Raw()), sizeof(sockaddr_in), host,
                      sizeof host, nullptr, 0, NI_NAMEREQD) != 0) {
        throw CBlockingSocketException("GetHostByAddr");
    }
    return host;
}

std::string CBlockingSocket::GetLocalIPString() {
    return platform::LocalIPv4Address();
}
