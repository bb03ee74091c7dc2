#pragma once

// Network services of the operating system: socket handles, waits that end on a time-out of the
// program clock or on the calling thread's stop request, a bounded connect, name resolution.

#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// An owned socket descriptor, closed when the object goes.
class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : m_fd(fd) {}
    ~SocketFd() { Close(); }
    SocketFd(SocketFd&& other) noexcept : m_fd(other.Release()) {}
    SocketFd& operator=(SocketFd&& other) noexcept;
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int Release();
    // 0 on success or when nothing is open, else the errno of close().
    int Close();

private:
    int m_fd = -1;
};

enum class Readiness { Ready, TimedOut, Stopped };

// Waits until `fd` can be read (or written), at most `timeoutMs` of the program clock. A failing
// poll counts as ready, so the following call reports the error.
Readiness WaitReadable(int fd, std::uint32_t timeoutMs);
Readiness WaitWritable(int fd, std::uint32_t timeoutMs);

// Connects a blocking socket, waiting at most `timeoutMs`. 0 when connected, else why not as an
// errno value: ECONNREFUSED (nothing listens there), ETIMEDOUT (no answer in time), ECANCELED
// (a stop request), or what the system reported. The socket is blocking again afterwards.
int ConnectWithin(int fd, const sockaddr_in& address, std::uint32_t timeoutMs);

// send() that never raises SIGPIPE; -1 on error.
ssize_t SendNoSignal(int fd, const void* data, std::size_t length);

// The first IPv4 address of a host name or dotted text, in network byte order. A name server
// that does not answer holds the calling thread only until it is asked to stop: the lookup runs
// on a helper thread of its own, which is left to finish in the background.
std::optional<in_addr_t> ResolveIPv4(const std::string& name);

// Replaces the system's name lookup behind ResolveIPv4 (tests); an empty function restores it.
using NameResolver = std::function<std::optional<in_addr_t>(const std::string& name)>;
void SetNameResolver(NameResolver resolver);

// The dotted address of the first IPv4 interface that is up and not loopback, else "127.0.0.1".
// (The host name would resolve to 127.0.1.1 on a Debian machine, which is no use to a device.)
std::string LocalIPv4Address();

}  // namespace platform
