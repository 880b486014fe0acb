#include <windows.h>

#include "platform/wide_text_win.h"
#include "settings/code_page.h"

namespace zel {

std::string toCodePage(std::string_view utf8) {
    std::wstring wide = widen(utf8);
    if (wide.empty()) return {};
    const char fallback = '?';
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, &fallback,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, &fallback,
                        nullptr);
    return out;
}

std::string fromCodePage(std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return narrow(wide);
}

}  // namespace zel
