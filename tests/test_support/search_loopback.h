#pragma once

// The LAN search asking the emulator's discovery service on loopback, on free ports, so that no
// datagram leaves this machine.

#include "device_emulator.h"
#include "login/search_datagram.h"
#include "test_support/udp_flooder.h"

namespace test_support {

// Starts the device's discovery service and returns the endpoints that reach it.
inline LanSearchEndpoints LoopbackSearch(device_emulator::DeviceEmulator& device) {
    LanSearchEndpoints endpoints;
    endpoints.destination = "127.0.0.1";
    endpoints.destinationPort = device.StartDiscovery();
    endpoints.sendPort = FreeUdpPort();
    endpoints.replyPort = FreeUdpPort();
    endpoints.localAddress = "127.0.0.1";
    endpoints.replyBindAddress = "127.0.0.1";
    device.Update(
        [&](device_emulator::Settings& s) { s.discovery.reply_port = endpoints.replyPort; });
    return endpoints;
}

}  // namespace test_support
