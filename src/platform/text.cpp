#include "platform/text.h"

namespace platform {

std::uint32_t AtoiModulo32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    return negative ? 0u - value : value;
}

TextLine FirstLine(std::string_view text) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
        return {text, text.size()};
    }
    const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    return {text.substr(0, end), end + (crlf ? 2 : 1)};
}

}  // namespace platform
