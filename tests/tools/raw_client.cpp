#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tools_test {

RawClient::RawClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        connect_error_ = errno;
        ::close(fd_);
        fd_ = -1;
    }
}

RawClient::~RawClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawClient::Send(const std::string& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

std::optional<std::string> RawClient::ReadOnce(std::chrono::milliseconds timeout) {
    pollfd p = {fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) {
        return std::nullopt;
    }
    std::string bytes(65536, '\0');
    const ssize_t n = ::recv(fd_, bytes.data(), bytes.size(), 0);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

std::vector<std::string> RawClient::ReadUntilClosed(bool* closed,
                                                    std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> reads;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const std::optional<std::string> bytes = ReadOnce(std::max(left, 0ms));
        if (!bytes || bytes->empty()) {
            if (closed != nullptr) {
                *closed = bytes.has_value();
            }
            return reads;
        }
        reads.push_back(*bytes);
    }
}

bool RawClient::ReadAtLeast(std::string& buffer, std::size_t count,
                            std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (buffer.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const std::optional<std::string> bytes = ReadOnce(std::max(left, 0ms));
        if (!bytes || bytes->empty()) {
            return false;
        }
        buffer += *bytes;
    }
    return true;
}

std::string CgiRequest(const std::string& url, const std::string& body) {
    std::string text = "GET " + url + " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\n";
    if (!body.empty()) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    text +=
        "Accept-Encoding: gzip, deflate\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; "
        "Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\nHost: 127.0.0.1\r\nConnection: "
        "Keep-Alive\r\n\r\n";
    return text + body;
}

std::string Exchange(std::uint16_t port, const std::string& request) {
    RawClient client(port);
    if (!client.Connected() || !client.Send(request)) {
        return {};
    }
    std::string reply;
    for (const std::string& piece : client.ReadUntilClosed()) {
        reply += piece;
    }
    return reply;
}

std::string BodyOf(const std::string& reply) {
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

}  // namespace tools_test
