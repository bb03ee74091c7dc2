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

namespace {

// The length of the UTF-8 character `text` begins with; 0 when it begins with none (a stray
// continuation byte, an overlong form, a surrogate, a code past U+10FFFF, a character cut off).
std::size_t Utf8Length(std::string_view text) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

bool IsControl(std::string_view character) {
    const auto first = static_cast<unsigned char>(character[0]);
    if (character.size() == 1) {
        return first < 0x20 || first == 0x7F;
    }
    // U+0080 to U+009F.
    return first == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = Utf8Length(text);
        const std::string_view character = text.substr(0, std::max<std::size_t>(length, 1));
        if (length == 0 || IsControl(character)) {
            line += '?';
        } else {
            line += character;
        }
        text.remove_prefix(character.size());
    }
    return line;
}
