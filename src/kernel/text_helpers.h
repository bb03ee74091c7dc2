#pragma once

// Text helpers shared by the live pipeline, the recorders and the LAN search: two-digit fields of
// file names, a delimited number list to bytes (a dotted address), hex pairs to bytes (a MAC); and
// the one rule for texts from outside in a line of text (trace.log).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// n modulo 100 as two digits: 2005 gives "05", 7 gives "07".
std::string FormatTwoDigits(int n);

// Clears `outSize` bytes of `out`, splits the text at any of the delimiter characters and stores
// each non-empty piece's decimal value (as atoi reads it, cut to a byte) in order, stopping when
// the output is full. Returns 1.
std::uint32_t ParseNumberList(std::string_view text, std::uint8_t* out, std::size_t outSize,
                              std::string_view delimiters);

// Clears `outSize` bytes of `out`, removes every separator character and turns each pair of the
// remaining characters into a byte (a character below "A" counts its code minus "0", any other,
// upper-cased, its code minus 55), stopping when the output is full. Returns 1.
std::uint32_t ParseHexList(std::string_view text, std::uint8_t* out, std::size_t outSize,
                           char separator);

// `text` as one printable line: every character of it that is UTF-8 and not a control character
// stays; a control character (a line break, a tab, C1) and every byte that begins no whole UTF-8
// character become "?". Typed names in any script keep their letters, and no device's bytes can
// break a line or make it something other than text.
std::string PrintableText(std::string_view text);
