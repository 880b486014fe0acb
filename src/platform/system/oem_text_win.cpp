#include <windows.h>

#include "platform/system/oem_text.h"
#include "platform/system/wide_text_win.h"
#include "text/utf8.h"

namespace zel {

std::string zipStoredNameToUtf8(std::string_view stored) {
    if (stored.empty()) return {};
    const int size = static_cast<int>(stored.size());
    int n = MultiByteToWideChar(CP_OEMCP, 0, stored.data(), size, nullptr, 0);
    if (n <= 0) return std::string(stored);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, stored.data(), size, wide.data(), n);
    return narrow(wide);
}

std::string consoleTextToUtf8(std::string_view text) {
    const std::string asUtf8 = validUtf8(text);
    return asUtf8 == text ? asUtf8 : zipStoredNameToUtf8(text);
}

}  // namespace zel
