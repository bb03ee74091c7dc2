#pragma once

// Fields of the configuration sections as the pages read and write them. Text fields are
// fixed-width and hold zero-terminated text; addresses are four bytes in dotted order; numbers are
// least significant byte first (platform/byte_order.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace config {

// `width` bytes of a section buffer from `offset`.
template <std::size_t N>
std::span<std::uint8_t> Field(std::array<std::uint8_t, N>& section, std::size_t offset,
                              std::size_t width) {
    return std::span<std::uint8_t>(section).subspan(offset, width);
}
template <std::size_t N>
std::span<const std::uint8_t> Field(const std::array<std::uint8_t, N>& section, std::size_t offset,
                                    std::size_t width) {
    return std::span<const std::uint8_t>(section).subspan(offset, width);
}

// The text of a field; empty when the field has no zero byte within its width.
std::string ReadFieldText(std::span<const std::uint8_t> field);
// Zero-fills the whole field, then writes the text. At most width - 1 characters are written, so
// the field always ends within its width; callers that must refuse longer texts check first.
void WriteFieldText(std::span<std::uint8_t> field, std::string_view text);

// An IPv4 address as a number whose most significant byte is the first dotted number.
std::uint32_t ReadAddress(const std::uint8_t* bytes);
void WriteAddress(std::uint8_t* bytes, std::uint32_t address);

}  // namespace config
