#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// Reads a number as settings files written by earlier versions expect: leading blanks, an
// optional sign, decimal digits up to the first other character, accumulated modulo 2^32 without
// overflow checks. No digits give 0.
std::uint32_t AtoiModulo32(std::string_view text);

// The first line of `text`. The program's text files are read alike whatever system wrote them:
// a line ends at "\r\n", "\n" or a lone "\r", and the last one may have no end at all.
struct TextLine {
    std::string_view text;  // without its end
    std::size_t consumed;   // with its end
};
TextLine FirstLine(std::string_view text);

}  // namespace platform
