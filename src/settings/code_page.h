#pragma once

#include <string>
#include <string_view>

namespace zel {

// The settings file is single-byte text: the system's ANSI code page on Windows, Windows-1254
// (Turkish) elsewhere. Characters the code page lacks are written as "?". Every byte reads as
// some character and writes back as the same byte, those the code page leaves undefined too.
std::string toCodePage(std::string_view utf8);
std::string fromCodePage(std::string_view bytes);

}  // namespace zel
