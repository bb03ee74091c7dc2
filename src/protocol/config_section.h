#pragma once

// The device's configuration as sixteen named blocks of bytes, fetched with "/GetSysCfg.cgi" and
// sent back with "/SetSysCfg.cgi". This moves bytes only; their layouts belong to the pages.

#include <array>
#include <cstdint>
#include <string_view>

enum CFG_SECTION : std::uint8_t {
    CFG_INF = 0,
    CFG_IP = 1,
    CFG_SECURE = 2,
    CFG_DNS = 3,
    CFG_SMTP = 4,
    CFG_FTP = 5,
    CFG_PPPOE = 6,
    CFG_SYSTEM = 7,
    CFG_SNTP = 8,
    CFG_IMG = 9,
    CFG_RS485 = 10,
    CFG_ALARM = 11,
    CFG_ONLINE = 12,
    CFG_DVRLIVE = 13,
    CFG_DVROSD = 14,
    CFG_DVRREC = 15,
};

inline constexpr std::array<std::string_view, 16> ConfigSectionNames = {
    "INF",  "IP",  "SECURE", "DNS",   "SMTP",   "FTP",     "PPPOE",  "SYSTEM",
    "SNTP", "IMG", "RS485",  "ALARM", "ONLINE", "DVRLIVE", "DVROSD", "DVRREC",
};

// Fetches a section of exactly `size` bytes into `destination` (ONLINE: up to `size` bytes, the
// rest cleared). 0, leaving the destination as it was, when the command fails or the device
// answers with another size.
int GetConfigSection(std::uint8_t section, void* destination, std::uint32_t size);
// Sends a section; `refresh` matters only for DNS.
int SetConfigSection(std::uint8_t section, const void* data, std::uint32_t size, int refresh);
