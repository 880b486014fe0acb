#pragma once

#include <string>
#include <string_view>

namespace zel {

// The settings file is single-byte text: the system's ANSI code page on Windows, Windows-1254
// (Turkish) elsewhere. Characters the code page lacks are written as "?"; bytes it does not
// define are read as "?".
std::string toCodePage(std::string_view utf8);
std::string fromCodePage(std::string_view bytes);

}  // namespace zel
