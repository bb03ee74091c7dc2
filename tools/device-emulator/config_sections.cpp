#include "config_sections.h"

#include <algorithm>

#include "device_emulator.h"

namespace device_emulator {

namespace {

// Byte positions the client reads; everything else starts as zeros.
constexpr std::size_t kIpAddressAt = 4;
constexpr std::size_t kIpMaskAt = 8;
constexpr std::size_t kIpGatewayAt = 12;
constexpr std::size_t kIpWebPortAt = 16;
constexpr std::size_t kInfModelAt = 24;
constexpr std::size_t kSecureMaxUsersAt = 2;
constexpr std::size_t kSecureNamesAt = 8;
constexpr std::size_t kSecurePasswordsAt = 88;
constexpr std::size_t kSecureLevelsAt = 168;
constexpr std::size_t kSecureLifeTimesAt = 176;
constexpr std::size_t kSecureAccounts = 5;
// A name or password field holds 15 characters and the zero byte after them.
constexpr std::size_t kSecureTextSize = 16;

void Put(std::string& bytes, std::size_t at, std::string_view value) {
    std::copy(value.begin(), value.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

const SectionInfo* FindSection(std::string_view name) {
    const auto it = std::find_if(kSections.begin(), kSections.end(),
                                 [&](const SectionInfo& s) { return s.name == name; });
    return it == kSections.end() ? nullptr : &*it;
}

ConfigSections::ConfigSections(std::uint16_t web_port) {
    for (const SectionInfo& section : kSections) {
        bytes_[section.number].assign(section.size, '\0');
    }
    std::string& ip = bytes_[FindSection("IP")->number];
    Put(ip, kIpAddressAt, std::string_view("\x7f\x00\x00\x01", 4));
    Put(ip, kIpMaskAt, std::string_view("\xff\x00\x00\x00", 4));
    Put(ip, kIpGatewayAt, std::string_view("\x7f\x00\x00\x01", 4));
    SetWebPort(web_port);
    Put(bytes_[FindSection("INF")->number], kInfModelAt, "KLM-300");
}

bool ConfigSections::Set(const SectionInfo& section, std::string bytes) {
    if (bytes.size() != section.size) {
        return false;
    }
    bytes_[section.number] = std::move(bytes);
    return true;
}

void ConfigSections::SetWebPort(std::uint16_t web_port) {
    std::string& ip = bytes_[FindSection("IP")->number];
    ip[kIpWebPortAt] = static_cast<char>(web_port & 0xff);
    ip[kIpWebPortAt + 1] = static_cast<char>(web_port >> 8);
}

void ConfigSections::SetAccounts(std::span<const Account> accounts) {
    std::string& secure = bytes_[FindSection("SECURE")->number];
    std::fill(secure.begin(), secure.end(), '\0');
    secure[kSecureMaxUsersAt] = static_cast<char>(kSecureAccounts);
    for (std::size_t i = 0; i < std::min(accounts.size(), kSecureAccounts); ++i) {
        const Account& account = accounts[i];
        Put(secure, kSecureNamesAt + kSecureTextSize * i,
            std::string_view(account.user).substr(0, kSecureTextSize - 1));
        Put(secure, kSecurePasswordsAt + kSecureTextSize * i,
            std::string_view(account.password).substr(0, kSecureTextSize - 1));
        secure[kSecureLevelsAt + i] = static_cast<char>(account.level);
        Put(secure, kSecureLifeTimesAt + 4 * i, std::string_view("\xff\xff\xff\xff", 4));
    }
}

std::uint16_t ConfigSections::WebPort() const {
    const std::string& ip = bytes_[FindSection("IP")->number];
    return static_cast<std::uint16_t>(static_cast<unsigned char>(ip[kIpWebPortAt]) |
                                      static_cast<unsigned char>(ip[kIpWebPortAt + 1]) << 8);
}

}  // namespace device_emulator
