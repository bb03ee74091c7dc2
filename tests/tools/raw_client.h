// A bare TCP client for talking to the device emulator byte by byte. Every read has a time-out,
// so a test never hangs on a silent device.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tools_test {

using namespace std::chrono_literals;

class RawClient {
public:
    // Connects to 127.0.0.1:port; Connected() tells whether that worked.
    explicit RawClient(std::uint16_t port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    int ConnectError() const { return connect_error_; }
    bool Send(const std::string& bytes);
    // One receive: nullopt on time-out, an empty string when the peer closed.
    std::optional<std::string> ReadOnce(std::chrono::milliseconds timeout = 5s);
    // Every receive until the peer closes or the time-out; closed tells which.
    std::vector<std::string> ReadUntilClosed(bool* closed = nullptr,
                                             std::chrono::milliseconds timeout = 5s);
    // Reads until at least count bytes are in buffer; false on close or time-out.
    bool ReadAtLeast(std::string& buffer, std::size_t count,
                     std::chrono::milliseconds timeout = 5s);

private:
    int fd_ = -1;
    int connect_error_ = 0;
};

// The request text the client program sends, with a body and Content-Length when body is not
// empty.
std::string CgiRequest(const std::string& url, const std::string& body = {});

// One request on a new connection; every byte of the reply until the device closes.
std::string Exchange(std::uint16_t port, const std::string& request);

// The body of a reply: what follows the blank line.
std::string BodyOf(const std::string& reply);

}  // namespace tools_test
