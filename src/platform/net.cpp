#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"

namespace platform {
namespace {

Readiness WaitFor(int fd, short events, std::uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + ToRealDuration(timeoutMs);
    pollfd fds[2] = {{fd, events, 0}, {CurrentStopFd(), POLLIN, 0}};
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int n = ::poll(fds, count, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (count == 2 && n > 0 && (fds[1].revents & POLLIN)) {
            return Readiness::Stopped;
        }
        if (n == 0) {
            return Readiness::TimedOut;
        }
        return Readiness::Ready;
    }
}

std::optional<in_addr_t> SystemResolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || !result) {
        return std::nullopt;
    }
    const in_addr_t address =
        reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return address;
}

std::mutex g_resolverMutex;
std::shared_ptr<const NameResolver> g_resolver;

std::shared_ptr<const NameResolver> CurrentResolver() {
    std::lock_guard lock(g_resolverMutex);
    return g_resolver;
}

// One lookup, shared by its helper thread and the thread that waits for it; whichever lets go
// last frees it.
struct Lookup {
    Lookup() : doneFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Lookup() {
        if (doneFd >= 0) {
            ::close(doneFd);
        }
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    std::mutex mutex;
    std::optional<in_addr_t> address;
    const int doneFd;
};

}  // namespace

SocketFd& SocketFd::operator=(SocketFd&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

int SocketFd::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

int SocketFd::Close() {
    if (m_fd < 0) {
        return 0;
    }
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 ? 0 : errno;
}

Readiness WaitReadable(int fd, std::uint32_t timeoutMs) {
    return WaitFor(fd, POLLIN, timeoutMs);
}

Readiness WaitWritable(int fd, std::uint32_t timeoutMs) {
    return WaitFor(fd, POLLOUT, timeoutMs);
}

int ConnectWithin(int fd, const sockaddr_in& address, std::uint32_t timeoutMs) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        return errno;
    }
    int error =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
        switch (WaitWritable(fd, timeoutMs)) {
            case Readiness::Ready: {
                socklen_t length = sizeof error;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                    error = errno;
                }
                break;
            }
            case Readiness::TimedOut:
                error = ETIMEDOUT;
                break;
            case Readiness::Stopped:
                error = ECANCELED;
                break;
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    return error;
}

ssize_t SendNoSignal(int fd, const void* data, std::size_t length) {
    return ::send(fd, data, length, MSG_NOSIGNAL);
}

std::optional<in_addr_t> ResolveIPv4(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    // Dotted text needs no name server.
    if (in_addr dotted{}; ::inet_pton(AF_INET, name.c_str(), &dotted) == 1) {
        return dotted.s_addr;
    }
    auto lookup = std::make_shared<Lookup>();
    if (lookup->doneFd < 0) {
        return std::nullopt;
    }
    try {
        std::thread([lookup, name, resolver = CurrentResolver()] {
            auto address = resolver ? (*resolver)(name) : SystemResolve(name);
            std::lock_guard lock(lookup->mutex);
            lookup->address = address;
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(lookup->doneFd, &one, sizeof one);
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    // Name servers bring their own time-outs; what this wait adds is the way out on a stop.
    pollfd fds[2] = {{lookup->doneFd, POLLIN, 0}, {CurrentStopFd(), POLLIN, 0}};
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    while (::poll(fds, count, -1) < 0 && errno == EINTR) {
    }
    if (!(fds[0].revents & POLLIN)) {
        return std::nullopt;
    }
    std::lock_guard lock(lookup->mutex);
    return lookup->address;
}

void SetNameResolver(NameResolver resolver) {
    std::lock_guard lock(g_resolverMutex);
    g_resolver = resolver ? std::make_shared<const NameResolver>(std::move(resolver)) : nullptr;
}

std::string LocalIPv4Address() {
    std::string address = "127.0.0.1";
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return address;
    }
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_UP) &&
            !(i->ifa_flags & IFF_LOOPBACK)) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
                address = text;
                break;
            }
        }
    }
    ::freeifaddrs(list);
    return address;
}

}  // namespace platform
