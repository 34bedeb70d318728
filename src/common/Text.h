// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::text {

// ASCII letters a to z upper-cased; every other byte kept.
std::string upperAscii(std::string_view s);
constexpr char32_t upperAscii(char32_t c)
{
    return (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c;
}
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Removes leading and trailing characters of code 32 or less.
std::string_view trimControl(std::string_view s);
// Removes trailing characters of code 32 or less.
std::string_view trimRight(std::string_view s);

// Code points of UTF-8 text; a byte that is not part of valid UTF-8 is taken as one
// Windows-1252 character, so text written on Windows reads as it did there.
std::u32string decode(std::string_view s);
// The length of s without a UTF-8 sequence cut short at its end, so that text read in pieces
// decodes as it would whole.
std::size_t wholeUtf8Length(std::string_view s);
void appendUtf8(std::string &out, char32_t cp);
std::string encode(std::u32string_view s);
bool isValidUtf8(std::string_view s);
// Text that is not valid UTF-8 is taken as Windows-1252 and converted.
std::string toUtf8(std::string_view s);
char32_t windows1252ToUnicode(unsigned char byte);

// The first n characters (code points) of UTF-8 text.
std::string_view leftChars(std::string_view utf8, std::size_t n);

// Whole-string integer parse: optional sign and decimal digits, or "0x"/"0X" and hex digits.
std::optional<int> parseInteger(std::string_view s);

std::vector<std::string_view> split(std::string_view s, char separator);

} // namespace quorvel::text
