#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zel {

// The first `count` characters of a UTF-8 text (the whole text when it is shorter); never cuts a character.
std::string utf8Prefix(std::string_view text, std::size_t count);

// Appends a code point (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// The text with each byte that begins no well-formed UTF-8 character replaced by '?'.
std::string validUtf8(std::string_view text);

// Number of characters in a UTF-8 text.
std::size_t utf8Length(std::string_view text);

}  // namespace zel
