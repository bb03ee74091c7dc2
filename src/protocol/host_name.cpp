#include "protocol/host_name.h"

#include "platform/net.h"

std::string g_strHostName;

void GetLocalHostAddress(std::string& out) {
    out = platform::LocalIPv4Address();
}
