#include "recording/record_bytes.h"

namespace recording {

void SystemTime::Encode(std::uint8_t* out) const {
    const std::uint16_t fields[] = {wYear, wMonth,  wDayOfWeek, wDay,
                                    wHour, wMinute, wSecond,    wMilliseconds};
    for (std::uint16_t field : fields) {
        PutU16(out, field);
        out += 2;
    }
}

SystemTime SystemTime::Decode(const std::uint8_t* in) {
    return {GetU16(in),     GetU16(in + 2),  GetU16(in + 4),  GetU16(in + 6),
            GetU16(in + 8), GetU16(in + 10), GetU16(in + 12), GetU16(in + 14)};
}

SystemTime LocalSystemTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    SystemTime st;
    st.wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
    st.wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
    st.wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    st.wDay = static_cast<std::uint16_t>(local.tm_mday);
    st.wHour = static_cast<std::uint16_t>(local.tm_hour);
    st.wMinute = static_cast<std::uint16_t>(local.tm_min);
    st.wSecond = static_cast<std::uint16_t>(local.tm_sec);
    return st;
}

SystemTime LocalSystemTimeNow() {
    return LocalSystemTime(std::time(nullptr));
}

std::array<std::uint8_t, 4> DeviceAddressBytes(std::string_view text) {
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t part = 0; part < bytes.size(); ++part) {
        const std::size_t dot = text.find('.');
        const std::string_view field = text.substr(0, dot);
        // Arithmetic modulo 256 keeps exactly the low eight bits of any length of digits.
        std::uint8_t value = 0;
        bool digits = !field.empty();
        for (char c : field) {
            digits = digits && c >= '0' && c <= '9';
            value = static_cast<std::uint8_t>(value * 10 + (c - '0'));
        }
        bytes[part] = digits ? value : 0;
        if (dot == std::string_view::npos) {
            break;
        }
        text.remove_prefix(dot + 1);
    }
    return bytes;
}

}  // namespace recording
