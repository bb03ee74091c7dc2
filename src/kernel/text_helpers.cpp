#include "kernel/text_helpers.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

std::string FormatTwoDigits(int n) {
    char text[4];
    std::snprintf(text, sizeof text, "%02d", (n % 100 + 100) % 100);
    return text;
}

std::uint32_t ParseNumberList(std::string_view text, std::uint8_t* out, std::size_t outSize,
                              std::string_view delimiters) {
    std::memset(out, 0, outSize);
    std::size_t stored = 0;
    std::size_t at = 0;
    while (stored < outSize && at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(delimiters, at), text.size());
        if (end > at) {
            out[stored++] =
                static_cast<std::uint8_t>(platform::AtoiModulo32(text.substr(at, end - at)));
        }
        at = end + 1;
    }
    return 1;
}

namespace {

std::uint8_t HexValue(char c) {
    const int upper = std::toupper(static_cast<unsigned char>(c));
    return static_cast<std::uint8_t>(upper < 'A' ? upper - '0' : upper - 55);
}

}  // namespace

std::uint32_t ParseHexList(std::string_view text, std::uint8_t* out, std::size_t outSize,
                           char separator) {
    std::memset(out, 0, outSize);
    std::string digits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(digits),
                 [separator](char c) { return c != separator; });
    const std::size_t count = std::min(digits.size() / 2, outSize);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] =
            static_cast<std::uint8_t>(HexValue(digits[2 * i]) * 16 + HexValue(digits[2 * i + 1]));
    }
    return 1;
}
