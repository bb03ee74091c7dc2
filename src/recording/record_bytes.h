#pragma once

// The date layout and the device address bytes the record formats share, with the little-endian
// field helpers they are built with.

#include <array>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "platform/byte_order.h"

namespace recording {

using platform::GetU16;
using platform::GetU32;
using platform::PutU16;
using platform::PutU32;

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
