#pragma once

#include <string>
#include <string_view>

namespace zel {

// UTF-8 inside the program, UTF-16 at the Win32 boundary.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// The system's own words for an error code (a DWORD), on one line.
std::string systemMessage(unsigned long code);

}  // namespace zel
