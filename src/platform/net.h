#pragma once

// Network services of the operating system.

#include <string>

namespace platform {

// The dotted address of the first IPv4 interface that is up and not loopback, else "127.0.0.1".
// (The host name would resolve to 127.0.1.1 on a Debian machine, which is no use to a device.)
std::string LocalIPv4Address();

}  // namespace platform
