#include <windows.h>
#undef GetComputerName  // windows.h maps the name onto its A/W functions

#include "platform/system/computer_name.h"
#include "platform/system/wide_text_win.h"

namespace zel {

std::string GetComputerName() {
    char buffer[256] = {};
    DWORD size = 255;
    ::GetComputerNameA(buffer, &size);  // the size handed back is not needed: the text ends at its NUL
    // The name comes in the ANSI code page; the program works in UTF-8.
    std::string ansi(buffer);
    if (ansi.empty()) return ansi;
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return narrow(wide);
}

}  // namespace zel
