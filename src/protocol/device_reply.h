#pragma once

// The text replies of "/Login.cgi" and "/Getdeviceinfo.cgi": items of a key, its value and ";",
// in any order. Every parser of the program reads them by one rule: the first case-sensitive
// occurrence of the key anywhere in the reply, the value from a fixed distance behind the key's
// start up to the next ";" (or the end of the reply), at most 255 characters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kMaxReplyValue = 255;

// `reply` is read up to its first zero byte. `from` is where the search starts; `*end` receives
// the position of the value's ";" (or the reply's end). nullopt when the key is absent.
std::optional<std::string> ReplyValue(std::string_view reply, std::string_view key,
                                      std::size_t skip, std::size_t from = 0,
                                      std::size_t* end = nullptr);

// atoi as the device's numbers need it: leading blanks, a sign, digits accumulated modulo 2^32.
// "4294967295" and "-1" both give all bits set; no digits give 0.
std::uint32_t ReplyAtoi(std::string_view text);

struct LoginReply {
    std::string sessionId;
    std::optional<std::string> firmwareVersion;
    std::optional<std::string> productId;
    std::optional<std::string> macAddress;  // at most 12 characters
    std::optional<std::string> hostName;
};

// nullopt when the reply has no "Session-ID=" item, or one longer than the cookie can hold or
// with a character that the "Cookie" value of a later request cannot carry (UncarriableCharacters).
std::optional<LoginReply> ParseLoginReply(std::string_view reply);

struct PeripheralInfo {
    std::uint32_t id = 0;
    std::uint32_t type = 0;
};

struct DeviceInfoReply {
    std::optional<std::uint32_t> lifeTime;
    std::optional<std::uint32_t> linkDevice;
    std::optional<std::uint32_t> retr;
    std::optional<std::uint32_t> videoMode;
    std::optional<std::uint32_t> userLevel;
    std::optional<std::string> bootVersion;
    std::optional<std::string> codecVersion;
    std::optional<std::string> fpgaVersion;
    std::optional<std::uint32_t> slaveCount;
    std::vector<PeripheralInfo> peripherals;
};

// The most peripherals a device list can take beside its master.
inline constexpr std::size_t kMaxPeripherals = 29;

DeviceInfoReply ParseDeviceInfoReply(std::string_view reply);
