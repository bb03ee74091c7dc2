// The device's configuration: sixteen named binary sections of fixed sizes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace device_emulator {

struct SectionInfo {
    int number;
    std::string_view name;
    std::size_t size;
};

inline constexpr std::size_t kSectionCount = 16;

// SYSTEM and DVROSD are never read or written by the client; their sizes are ours.
inline constexpr std::array<SectionInfo, kSectionCount> kSections = {{
    {0, "INF", 44},
    {1, "IP", 24},
    {2, "SECURE", 196},
    {3, "DNS", 12},
    {4, "SMTP", 440},
    {5, "FTP", 104},
    {6, "PPPOE", 68},
    {7, "SYSTEM", 64},
    {8, "SNTP", 40},
    {9, "IMG", 12},
    {10, "RS485", 124},
    {11, "ALARM", 24},
    {12, "ONLINE", 240},
    {13, "DVRLIVE", 772},
    {14, "DVROSD", 128},
    {15, "DVRREC", 128},
}};

const SectionInfo* FindSection(std::string_view name);

struct Account;

class ConfigSections {
public:
    explicit ConfigSections(std::uint16_t web_port);

    std::string Get(const SectionInfo& section) const { return bytes_[section.number]; }
    // Refuses bytes whose length is not the section's size.
    bool Set(const SectionInfo& section, std::string bytes);
    void SetWebPort(std::uint16_t web_port);
    std::uint16_t WebPort() const;
    // SECURE as the device keeps its accounts: the first five, each with no time limit, and
    // room for five users.
    void SetAccounts(std::span<const Account> accounts);

private:
    std::array<std::string, kSectionCount> bytes_;
};

}  // namespace device_emulator
