#include "connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace device_emulator {

Connection::Connection(int fd, int stop_fd) : fd_(fd), stop_fd_(stop_fd) {}

Connection::~Connection() {
    ::close(fd_);
}

Connection::Io Connection::Wait(short events, std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{fd_, events, 0}, {stop_fd_, POLLIN, 0}};
    const int n = ::poll(fds, 2, timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
    if (n < 0) {
        return errno == EINTR ? Io::TimedOut : Io::Failed;
    }
    if (fds[1].revents != 0) {
        return Io::Stopped;
    }
    return n == 0 ? Io::TimedOut : Io::Ok;
}

Connection::Io Connection::ReadSome(std::string& into, std::size_t max,
                                    std::chrono::milliseconds timeout) {
    if (const Io ready = Wait(POLLIN, timeout); ready != Io::Ok) {
        return ready;
    }
    const std::size_t old_size = into.size();
    into.resize(old_size + max);
    const ssize_t n = ::recv(fd_, into.data() + old_size, max, 0);
    into.resize(old_size + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n == 0) {
        return Io::Closed;
    }
    return n < 0 ? Io::Failed : Io::Ok;
}

Connection::Io Connection::WriteAll(std::string_view bytes, std::chrono::milliseconds timeout) {
    while (!bytes.empty()) {
        if (const Io ready = Wait(POLLOUT, timeout); ready != Io::Ok) {
            return ready;
        }
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return Io::Failed;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return Io::Ok;
}

bool Connection::WritePieces(std::string_view bytes, std::vector<std::size_t> cuts,
                             std::chrono::milliseconds pause, std::chrono::milliseconds timeout) {
    std::erase_if(cuts, [&](std::size_t cut) { return cut == 0 || cut >= bytes.size(); });
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    cuts.push_back(bytes.size());
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        if (from != 0 && !Pause(pause)) {
            return false;
        }
        if (WriteAll(bytes.substr(from, cut - from), timeout) != Io::Ok) {
            return false;
        }
        from = cut;
    }
    return true;
}

bool Connection::Pause(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) {
        return true;
    }
    pollfd stop = {stop_fd_, POLLIN, 0};
    // An interrupted poll only shortens the pause.
    return ::poll(&stop, 1, static_cast<int>(duration.count())) <= 0;
}

void Connection::Hold() {
    std::string discard;
    for (;;) {
        discard.clear();
        const Io io = ReadSome(discard, 4096, std::chrono::milliseconds(-1));
        if (io != Io::Ok && io != Io::TimedOut) {
            return;
        }
    }
}

}  // namespace device_emulator
