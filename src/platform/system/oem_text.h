#pragma once

#include <string>
#include <string_view>

namespace zel {

// A name as zip stores it without a Unicode mark, in UTF-8: on Windows Info-ZIP writes such names
// in the OEM code page; elsewhere it keeps the bytes the file system gave it.
std::string zipStoredNameToUtf8(std::string_view stored);

// What a console program wrote, in UTF-8: on Windows a text that is not UTF-8 already is taken
// in the OEM code page, as consoles write; elsewhere a byte that fits no character becomes '?'.
std::string consoleTextToUtf8(std::string_view text);

}  // namespace zel
