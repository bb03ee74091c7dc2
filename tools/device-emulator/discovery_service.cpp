#include "discovery_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace device_emulator {

namespace {

constexpr std::size_t kDatagramSize = 76;
constexpr std::uint8_t kSearch = 1;
constexpr std::uint8_t kSetAddress = 2;
constexpr std::uint8_t kReset = 3;
constexpr std::uint8_t kResultDone = 1;
constexpr std::uint8_t kResultBadAccount = 0;
constexpr std::uint8_t kResultNotStatic = 2;

// The datagram's fields by offset: command 0, operation 16, code 17, MAC 18, user 24,
// password 40, address 56, mask 60, gateway 64, DNS 68, port 72.
std::string FieldText(const std::string& datagram, std::size_t offset) {
    const std::string field = datagram.substr(offset, 16);
    return field.substr(0, field.find('\0'));
}

template <std::size_t N>
std::array<std::uint8_t, N> FieldBytes(const std::string& datagram, std::size_t offset) {
    std::array<std::uint8_t, N> bytes{};
    std::memcpy(bytes.data(), datagram.data() + offset, N);
    return bytes;
}

std::string Answer(const std::string& request, const DiscoveryUnit& unit, std::uint8_t code,
                   std::uint16_t web_port) {
    std::string answer(kDatagramSize, '\0');
    std::memcpy(answer.data(), request.data(), 17);  // command and operation, as asked
    answer[17] = static_cast<char>(code);
    const DiscoveryNetwork& n = unit.network;
    std::memcpy(answer.data() + 18, unit.mac.data(), 6);
    std::memcpy(answer.data() + 56, n.address.data(), 4);
    std::memcpy(answer.data() + 60, n.mask.data(), 4);
    std::memcpy(answer.data() + 64, n.gateway.data(), 4);
    std::memcpy(answer.data() + 68, n.dns.data(), 4);
    const std::uint16_t port = n.web_port != 0 ? n.web_port : web_port;
    answer[72] = static_cast<char>(port & 0xFF);
    answer[73] = static_cast<char>(port >> 8);
    return answer;
}

// What a set-address or reset datagram does to the unit it names.
std::uint8_t Apply(const std::string& request, DiscoveryUnit& unit, const Settings& settings) {
    const std::string user = FieldText(request, 24);
    const std::string password = FieldText(request, 40);
    const bool known =
        std::any_of(settings.accounts.begin(), settings.accounts.end(),
                    [&](const Account& a) { return a.user == user && a.password == password; });
    if (!known) {
        return kResultBadAccount;
    }
    if (!unit.static_mode) {
        return kResultNotStatic;
    }
    if (static_cast<std::uint8_t>(request[16]) == kReset) {
        unit.network = unit.factory;
        ++unit.resets;
    } else {
        unit.network.address = FieldBytes<4>(request, 56);
        unit.network.mask = FieldBytes<4>(request, 60);
        unit.network.gateway = FieldBytes<4>(request, 64);
        unit.network.dns = FieldBytes<4>(request, 68);
        unit.network.web_port = static_cast<std::uint16_t>(
            static_cast<std::uint8_t>(request[72]) | static_cast<std::uint8_t>(request[73]) << 8);
    }
    return kResultDone;
}

}  // namespace

std::uint16_t DiscoveryService::Start(DeviceCore& core, std::uint16_t port,
                                      std::uint16_t web_port) {
    Stop();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
        throw std::system_error(error, std::generic_category(), "device emulator: discovery");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    stop_fd_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this, &core, web_port] { Run(core, web_port); });
    return port_;
}

void DiscoveryService::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_fd_, &one, sizeof one);
    thread_.join();
    ::close(fd_);
    ::close(stop_fd_);
    fd_ = stop_fd_ = -1;
}

void DiscoveryService::Run(DeviceCore& core, std::uint16_t web_port) {
    for (;;) {
        pollfd fds[2] = {{stop_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) == 0) {
            continue;
        }
        char buffer[512];
        sockaddr_in from{};
        socklen_t from_length = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &from_length);
        if (n < 0) {
            continue;
        }
        const std::string request(buffer, static_cast<std::size_t>(n));
        {
            std::lock_guard lock(core.log_mutex);
            core.datagrams.push_back(request);
        }
        core.log_changed.notify_all();
        if (request.size() < kDatagramSize) {
            continue;
        }

        std::vector<std::string> answers;
        DiscoverySettings knobs;
        {
            std::lock_guard lock(core.mutex);
            knobs = core.settings.discovery;
            const auto operation = static_cast<std::uint8_t>(request[16]);
            for (DiscoveryUnit& unit : core.settings.discovery.units) {
                if (operation == kSearch) {
                    answers.push_back(Answer(request, unit, unit.device_code, web_port));
                } else if ((operation == kSetAddress || operation == kReset) &&
                           FieldBytes<6>(request, 18) == unit.mac) {
                    const std::uint8_t result = Apply(request, unit, core.settings);
                    answers.push_back(
                        Answer(request, unit, knobs.result_code.value_or(result), web_port));
                }
            }
        }
        if (knobs.reply_delay.count() > 0) {
            pollfd stop = {stop_fd_, POLLIN, 0};
            if (::poll(&stop, 1, static_cast<int>(knobs.reply_delay.count())) != 0) {
                return;
            }
        }
        from.sin_port = htons(knobs.reply_port);
        for (std::string& answer : answers) {
            if (knobs.answer_operation) {
                answer[16] = static_cast<char>(*knobs.answer_operation);
            }
            for (int copy = 0; copy < knobs.answer_copies; ++copy) {
                ::sendto(fd_, answer.data(), std::min(answer.size(), knobs.reply_length), 0,
                         reinterpret_cast<const sockaddr*>(&from), sizeof from);
            }
        }
    }
}

}  // namespace device_emulator
