#include "kernel/text_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

TEST(TextHelpers, FormatTwoDigitsKeepsTheLastTwo) {
    EXPECT_EQ(FormatTwoDigits(2005), "05");
    EXPECT_EQ(FormatTwoDigits(7), "07");
    EXPECT_EQ(FormatTwoDigits(12), "12");
    EXPECT_EQ(FormatTwoDigits(100), "00");
}

struct ListCase {
    const char* text;
    std::vector<std::uint8_t> bytes;  // the whole six-byte output
};

TEST(TextHelpers, ParseNumberListSkipsEmptyPiecesAndStopsAtTheOutputSize) {
    const ListCase cases[] = {
        {"192.168.1.10", {0xC0, 0xA8, 0x01, 0x0A, 0, 0}},
        {"10..1", {0x0A, 0x01, 0, 0, 0, 0}},
        {"1.2.3.4.5.6.7.8.9", {1, 2, 3, 4, 5, 6}},  // no write past six bytes
        {"300. x7.-1", {44, 0, 0xFF, 0, 0, 0}},
    };
    for (const ListCase& c : cases) {
        std::array<std::uint8_t, 8> out;
        out.fill(0xEE);
        EXPECT_EQ(ParseNumberList(c.text, out.data(), 6, "."), 1u);
        EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 6), c.bytes) << c.text;
        EXPECT_EQ(out[6], 0xEE) << c.text;
    }
}

TEST(TextHelpers, ParseHexListReadsPairsAndStopsAtTheOutputSize) {
    std::array<std::uint8_t, 8> out;
    out.fill(0xEE);
    EXPECT_EQ(ParseHexList("00-1a-2B-3c-4D-5e", out.data(), 6, '-'), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 7),
              (std::vector<std::uint8_t>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0xEE}));
    out.fill(0xEE);
    ParseHexList("00:11:22:33:44:55:66:77", out.data(), 3, ':');
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x11, 0x22, 0xEE}));
    ParseHexList("ABC", out.data(), 3, ':');  // an odd character out is left over
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 3),
              (std::vector<std::uint8_t>{0xAB, 0, 0}));
}

// What users type and sound devices send keeps every character; what would break a line or is
// no text becomes "?", one for each control character or stray byte.
TEST(TextHelpers, PrintableTextKeepsTextAndMarksTheRest) {
    const struct {
        const char* what;
        std::string text;
        std::string line;
    } cases[] = {
        {"plain", "Login to 10.0.0.5:80 as admin", "Login to 10.0.0.5:80 as admin"},
        {"a password's signs", "p%20a&b=c;d\"e'f<g>", "p%20a&b=c;d\"e'f<g>"},
        {"accents", "Jos\xC3\xA9 M\xC3\xBCller", "Jos\xC3\xA9 M\xC3\xBCller"},
        {"other scripts", "\xE7\x9B\xA3\xE8\xA6\x96 \xF0\x9F\x93\xB7",
         "\xE7\x9B\xA3\xE8\xA6\x96 \xF0\x9F\x93\xB7"},
        {"empty", "", ""},
        {"line breaks", "two\r\nlines\rand\nmore", "two??lines?and?more"},
        {"controls", std::string("a\0b\tc\x1B[31md\x7F", 12), "a?b?c?[31md?"},
        {"a C1 control",
         "a\xC2\x85"
         "b",
         "a?b"},
        {"stray bytes", "HTTP/1.1 401 \xFF\xFE\x80", "HTTP/1.1 401 ???"},
        {"a character cut off", "ab\xE7\x9B", "ab??"},
        {"an overlong slash", "\xC0\xAF", "??"},
        {"a surrogate", "\xED\xA0\x80", "???"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "????"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrintableText(c.text), c.line) << c.what;
    }
}

}  // namespace
