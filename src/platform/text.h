#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Reads a number as settings files written by earlier versions expect: leading blanks, an
// optional sign, decimal digits up to the first other character, accumulated modulo 2^32 without
// overflow checks. No digits give 0.
std::uint32_t AtoiModulo32(std::string_view text);

}  // namespace platform
