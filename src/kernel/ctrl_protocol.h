#pragma once

// The remote-control protocols read from CtrlFile.ini: per device model, a byte template for each
// of its keys, with placeholders that the key sender fills at send time.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::size_t kRemoteKeyCount = 67;
// Placeholders are marked per template byte in a 32-bit mask.
inline constexpr std::size_t kMaxPlaceholderPosition = 31;

struct KeyCommandEntry {
    std::uint32_t dwPlaceholderMask = 0;  // bit i: template byte i is a placeholder code
    std::vector<std::uint8_t> pBytes;     // empty: the key is not defined

    std::uint8_t Count() const { return static_cast<std::uint8_t>(pBytes.size()); }
    bool IsPlaceholder(std::size_t i) const { return i < 32 && (dwPlaceholderMask >> i) & 1u; }
};

struct CtrlProtocol {
    std::array<std::uint8_t, 16> abParameter{};
    KeyCommandEntry PowerKey;
    std::string szName;  // upper case, at most 79 characters
    std::array<KeyCommandEntry, kRemoteKeyCount> Keys;
    std::uint8_t bDisplay = 0;
};
