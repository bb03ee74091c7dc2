#include "device_emulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "cgi_commands.h"
#include "connection.h"
#include "device_core.h"
#include "discovery_service.h"
#include "http_exchange.h"
#include "video_stream.h"

namespace device_emulator {

namespace {

// Beyond this many open connections a new one is closed at once.
constexpr std::size_t kMaxConnections = 64;
constexpr int kListenBacklog = 64;
// How often the listener looks for finished connection threads when nothing else happens.
constexpr int kReapIntervalMs = 200;

// Loopback only: the emulator never listens where another machine could reach it.
int OpenListener(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void Signal(int event_fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(event_fd, &one, sizeof one);
}

}  // namespace

struct DeviceEmulator::Impl {
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    DeviceCore core;
    DiscoveryService discovery;
    bool accounts_placed = false;  // SECURE holds the accounts of the first Start; core.mutex
    int stop_fd = -1;  // signalled once by Stop(); every wait of every thread watches it
    int wake_fd = -1;  // tells the listener that the listening state should change
    std::thread listener;
    std::list<Worker> workers;  // the listener's own

    std::mutex listen_mutex;  // guards the fields below
    std::condition_variable listen_changed;
    std::uint16_t port = 0;
    int moved_fd = -1;  // listening on a new web port, not yet taken over by the listener
    int listen_fd = -1;
    bool want_listening = true;
    unsigned listen_requests = 0;
    unsigned listen_done = 0;
    bool listen_ok = true;
    bool listener_alive = false;

    void ApplyListening();
    std::uint16_t WebPort();
    // After a request that may have changed the IP section; `before` is its web port until then.
    void FollowWebPort(std::uint16_t before);
    void ReapWorkers(bool all);
    void ListenLoop();
    void Serve(int fd);
};

void DeviceEmulator::Impl::ApplyListening() {
    std::lock_guard lock(listen_mutex);
    if (listen_done == listen_requests) {
        return;
    }
    listen_ok = true;
    if (moved_fd >= 0) {
        if (listen_fd >= 0) {
            ::close(listen_fd);
        }
        listen_fd = std::exchange(moved_fd, -1);
    }
    if (want_listening && listen_fd < 0) {
        listen_fd = OpenListener(port);
        listen_ok = listen_fd >= 0;
    } else if (!want_listening && listen_fd >= 0) {
        ::close(listen_fd);
        listen_fd = -1;
    }
    listen_done = listen_requests;
    listen_changed.notify_all();
}

std::uint16_t DeviceEmulator::Impl::WebPort() {
    std::lock_guard lock(core.mutex);
    return core.sections.WebPort();
}

// Like a device given a new web port, the emulator listens there from now on, and already before
// it answers the request that moved it: a client that switches on that answer finds the port
// open, and the old one closed. The connections it has keep being served. A port that cannot be
// bound leaves it where it was.
void DeviceEmulator::Impl::FollowWebPort(std::uint16_t before) {
    const std::uint16_t web_port = WebPort();
    std::unique_lock lock(listen_mutex);
    if (web_port == 0 || web_port == before || web_port == port) {
        return;
    }
    if (want_listening && listener_alive) {
        const int fd = OpenListener(web_port);
        if (fd < 0) {
            std::fprintf(stderr, "device emulator: cannot move to port %u\n", unsigned{web_port});
            return;
        }
        if (moved_fd >= 0) {
            ::close(moved_fd);
        }
        // The listener takes it over at its next wake-up, closing the old port; until then
        // connections queue on the new one.
        moved_fd = fd;
        const unsigned request = ++listen_requests;
        Signal(wake_fd);
        listen_changed.wait(lock, [&] { return listen_done >= request || !listener_alive; });
    }
    port = web_port;
}

void DeviceEmulator::Impl::ReapWorkers(bool all) {
    for (auto it = workers.begin(); it != workers.end();) {
        if (all || it->done) {
            it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

void DeviceEmulator::Impl::ListenLoop() {
    for (;;) {
        ApplyListening();
        ReapWorkers(false);
        int fd;
        {
            std::lock_guard lock(listen_mutex);
            fd = listen_fd;
        }
        pollfd fds[3] = {{stop_fd, POLLIN, 0}, {wake_fd, POLLIN, 0}, {fd, POLLIN, 0}};
        if (::poll(fds, 3, kReapIntervalMs) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents != 0) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wake_fd, &count, sizeof count);
        }
        if (fd >= 0 && (fds[2].revents & POLLIN) != 0) {
            const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            if (workers.size() >= kMaxConnections) {
                ::close(client);
                continue;
            }
            Worker& worker = workers.emplace_back();
            worker.thread = std::thread([this, client, &worker] {
                Serve(client);
                worker.done = true;
            });
        }
    }
    {
        // Before the workers are joined: one may be waiting for the listener to follow a move.
        std::lock_guard lock(listen_mutex);
        for (int* fd : {&listen_fd, &moved_fd}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
        listen_done = listen_requests;
        listen_ok = false;
        listener_alive = false;
        listen_changed.notify_all();
    }
    ReapWorkers(true);
}

void DeviceEmulator::Impl::Serve(int fd) {
    Connection connection(fd, stop_fd);
    try {
        const RecordedRequest request = ReadRequest(connection);
        core.Record(request);
        if (!request.complete) {
            return;
        }
        const ReplyFaults faults = core.TakeFaults(request.path);
        if (faults.action == ReplyAction::CloseWithoutReply) {
            return;
        }
        if (faults.action == ReplyAction::Stall) {
            connection.Hold();
            return;
        }
        if (!connection.Pause(faults.reply_delay)) {
            return;
        }
        const CgiCommand* command = FindCommand(request.path);
        if (command == nullptr) {
            SendReply(connection, Reply{404, "", "text/plain"}, faults);
            return;
        }
        if (const std::optional<Reply> refusal = RefuseWithoutSession(core, *command, request)) {
            SendReply(connection, *refusal, faults);
            return;
        }
        if (command->answer != nullptr) {
            const std::uint16_t web_port = WebPort();
            Reply reply = command->answer(core, request);
            if (reply.status == 200 && (faults.status == 0 || faults.status == 200)) {
                FollowWebPort(web_port);
            }
            if (!reply.close_without_reply) {
                SendReply(connection, std::move(reply), faults);
            }
        } else if (faults.status != 0 || faults.body) {
            // A device that turns the client away answers a stream request like a command.
            SendReply(connection, Reply{}, faults);
        } else if (command->stream != nullptr) {
            command->stream(core, connection, request);
        } else {
            RunVideoStream(core, connection);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "device emulator: connection dropped: %s\n", e.what());
    }
}

DeviceEmulator::DeviceEmulator() : impl_(std::make_unique<Impl>()) {}

DeviceEmulator::~DeviceEmulator() {
    Stop();
}

void DeviceEmulator::Start(std::uint16_t port) {
    Stop();
    const int fd = OpenListener(port);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "device emulator: listen");
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    impl_->stop_fd = ::eventfd(0, EFD_CLOEXEC);
    impl_->wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    {
        std::lock_guard lock(impl_->listen_mutex);
        impl_->port = ntohs(bound.sin_port);
        impl_->moved_fd = -1;
        impl_->listen_fd = fd;
        impl_->want_listening = true;
        impl_->listen_ok = true;
        impl_->listener_alive = true;
    }
    {
        std::lock_guard lock(impl_->core.mutex);
        impl_->core.sections.SetWebPort(ntohs(bound.sin_port));
        // The accounts the device starts with; a restart keeps what the client sent since.
        if (!impl_->accounts_placed) {
            impl_->core.sections.SetAccounts(impl_->core.settings.accounts);
            impl_->accounts_placed = true;
        }
    }
    impl_->listener = std::thread([this] { impl_->ListenLoop(); });
}

void DeviceEmulator::Stop() {
    impl_->discovery.Stop();
    if (!impl_->listener.joinable()) {
        return;
    }
    Signal(impl_->stop_fd);
    impl_->listener.join();
    ::close(impl_->stop_fd);
    ::close(impl_->wake_fd);
    impl_->stop_fd = impl_->wake_fd = -1;
}

std::uint16_t DeviceEmulator::Port() const {
    std::lock_guard lock(impl_->listen_mutex);
    return impl_->port;
}

bool DeviceEmulator::SetListening(bool listening) {
    std::unique_lock lock(impl_->listen_mutex);
    if (!impl_->listener_alive) {
        return false;
    }
    impl_->want_listening = listening;
    const unsigned request = ++impl_->listen_requests;
    Signal(impl_->wake_fd);
    impl_->listen_changed.wait(
        lock, [&] { return impl_->listen_done >= request || !impl_->listener_alive; });
    return impl_->listen_ok;
}

Settings DeviceEmulator::Snapshot() const {
    std::lock_guard lock(impl_->core.mutex);
    return impl_->core.settings;
}

void DeviceEmulator::Update(const std::function<void(Settings&)>& change) {
    std::lock_guard lock(impl_->core.mutex);
    change(impl_->core.settings);
}

std::optional<std::string> DeviceEmulator::Section(std::string_view name) const {
    const SectionInfo* section = FindSection(name);
    if (section == nullptr) {
        return std::nullopt;
    }
    std::lock_guard lock(impl_->core.mutex);
    return impl_->core.sections.Get(*section);
}

bool DeviceEmulator::SetSection(std::string_view name, std::string bytes) {
    const SectionInfo* section = FindSection(name);
    std::lock_guard lock(impl_->core.mutex);
    return section != nullptr && impl_->core.sections.Set(*section, std::move(bytes));
}

std::uint16_t DeviceEmulator::StartDiscovery(std::uint16_t port) {
    return impl_->discovery.Start(impl_->core, port, impl_->port);
}

std::uint16_t DeviceEmulator::DiscoveryPort() const {
    return impl_->discovery.Port();
}

std::vector<std::string> DeviceEmulator::Datagrams() const {
    std::lock_guard lock(impl_->core.log_mutex);
    return impl_->core.datagrams;
}

bool DeviceEmulator::WaitForDatagrams(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->core.log_mutex);
    return impl_->core.log_changed.wait_for(lock, timeout,
                                            [&] { return impl_->core.datagrams.size() >= count; });
}

std::vector<RecordedRequest> DeviceEmulator::Requests(std::string_view path) const {
    std::lock_guard lock(impl_->core.log_mutex);
    std::vector<RecordedRequest> found;
    for (const RecordedRequest& request : impl_->core.log) {
        if (path.empty() || request.path == path) {
            found.push_back(request);
        }
    }
    return found;
}

bool DeviceEmulator::WaitForRequests(std::string_view path, std::size_t count,
                                     std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->core.log_mutex);
    return impl_->core.log_changed.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(std::count_if(
                   impl_->core.log.begin(), impl_->core.log.end(), [&](const RecordedRequest& r) {
                       return path.empty() || r.path == path;
                   })) >= count;
    });
}

void DeviceEmulator::ClearRequests() {
    std::lock_guard lock(impl_->core.log_mutex);
    impl_->core.log.clear();
}

}  // namespace device_emulator
