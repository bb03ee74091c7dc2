#include "config/section_fields.h"

#include <algorithm>

namespace config {

std::string ReadFieldText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (end == field.end()) {
        return {};
    }
    return std::string(field.begin(), end);
}

void WriteFieldText(std::span<std::uint8_t> field, std::string_view text) {
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    if (field.empty()) {
        return;
    }
    const std::size_t count = std::min(text.size(), field.size() - 1);
    std::copy_n(text.begin(), count, field.begin());
}

std::uint32_t ReadAddress(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) |
           (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
}

void WriteAddress(std::uint8_t* bytes, std::uint32_t address) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
    }
}

}  // namespace config
