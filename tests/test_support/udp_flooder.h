#pragma once

// Other hosts on the network, on loopback: a free port to listen on, and a flooder.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// A UDP port that is free on loopback right now.
inline std::uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Another host: sends its datagrams to a port on loopback, round and round, until it is
// destroyed; as fast as it can, or with a pause after each.
class UdpFlooder {
public:
    UdpFlooder(std::uint16_t port, std::vector<std::string> datagrams,
               std::chrono::microseconds pause = {})
        : m_thread([this, port, datagrams = std::move(datagrams), pause] {
              const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
              sockaddr_in to{};
              to.sin_family = AF_INET;
              to.sin_port = htons(port);
              to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
              for (std::size_t i = 0; !m_stop.load(); ++i) {
                  const std::string& datagram = datagrams[i % datagrams.size()];
                  if (::sendto(fd, datagram.data(), datagram.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to) > 0) {
                      m_sent.fetch_add(1);
                  }
                  if (pause.count() > 0) {
                      std::this_thread::sleep_for(pause);
                  } else if (i % 64 == 63) {
                      // The receiver shares the machine: its socket buffer is the limit.
                      std::this_thread::yield();
                  }
              }
              ::close(fd);
          }) {}
    ~UdpFlooder() {
        m_stop.store(true);
        m_thread.join();
    }
    UdpFlooder(const UdpFlooder&) = delete;
    UdpFlooder& operator=(const UdpFlooder&) = delete;

    std::size_t Sent() const { return m_sent.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_sent{0};
    std::thread m_thread;
};

}  // namespace test_support
