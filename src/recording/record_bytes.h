#pragma once

// Little-endian fields of the record formats and the date layout they share. Records are built
// byte by byte so their layout never depends on the compiler's packing or the host's byte order.

#include <array>
#include <cstdint>
#include <ctime>
#include <string_view>

namespace recording {

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A date as eight u16 fields: year, month, day of the week, day, hour, minute, second,
// milliseconds.
struct SystemTime {
    static constexpr std::size_t kSize = 16;

    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDayOfWeek = 0;
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;

    void Encode(std::uint8_t* out) const;
    static SystemTime Decode(const std::uint8_t* in);
    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// The local time of `t` in whole seconds, with the day of the week (0 = Sunday).
SystemTime LocalSystemTime(std::time_t t);
SystemTime LocalSystemTimeNow();

// The four bytes of a dotted device address as the record headers keep them: a missing or
// non-numeric part is 0, a part above 255 keeps its low eight bits, parts after the fourth are
// dropped.
std::array<std::uint8_t, 4> DeviceAddressBytes(std::string_view text);

}  // namespace recording
