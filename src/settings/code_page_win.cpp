#include <windows.h>

#include "platform/system/wide_text_win.h"
#include "settings/code_page.h"

namespace zel {

std::optional<std::string> toCodePage(std::string_view utf8) {
    if (utf8.empty()) return std::string();
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                               static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);

    // UTF-8 as the ANSI code page takes neither a default character nor the question whether one
    // was used; it fails on what it cannot say. Other code pages say it through `usedDefault`.
    const UINT codePage = GetACP();
    const bool utf8CodePage = codePage == CP_UTF8;
    const DWORD flags = utf8CodePage ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* askUsed = utf8CodePage ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, askUsed);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), wideLength, out.data(), n, nullptr, askUsed) != n ||
        usedDefault)
        return std::nullopt;
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
