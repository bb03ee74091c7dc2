// The LAN discovery service: 76-byte UDP datagrams on 127.0.0.1 asking every unit to report its
// network settings, or one unit (by MAC) to take new ones or go back to its factory settings.
#pragma once

#include <cstdint>
#include <thread>

#include "device_core.h"

namespace device_emulator {

class DiscoveryService {
public:
    DiscoveryService() = default;
    ~DiscoveryService() { Stop(); }
    DiscoveryService(const DiscoveryService&) = delete;
    DiscoveryService& operator=(const DiscoveryService&) = delete;

    // Binds 127.0.0.1:port; web_port stands in for a unit's web port 0. Throws
    // std::system_error when the port cannot be bound.
    std::uint16_t Start(DeviceCore& core, std::uint16_t port, std::uint16_t web_port);
    void Stop();
    std::uint16_t Port() const { return port_; }

private:
    void Run(DeviceCore& core, std::uint16_t web_port);

    int fd_ = -1;
    int stop_fd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

}  // namespace device_emulator
