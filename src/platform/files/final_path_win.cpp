#include "platform/files/final_path_win.h"

#include <windows.h>

namespace zel {

std::wstring withoutLongPathPrefix(std::wstring_view path) {
    constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
    constexpr std::wstring_view kLocal = L"\\\\?\\";
    if (path.substr(0, kUnc.size()) == kUnc) return L"\\\\" + std::wstring(path.substr(kUnc.size()));
    // Only a drive letter follows plainly: "\\?\Volume{...}" has no other name.
    if (path.substr(0, kLocal.size()) == kLocal && path.size() >= kLocal.size() + 2 &&
        path[kLocal.size() + 1] == L':')
        return std::wstring(path.substr(kLocal.size()));
    return std::wstring(path);
}

std::wstring finalPath(const std::wstring& path) {
    // Attributes alone, shared with everyone: opening must neither need rights to the content nor
    // get in the way of another program. Backup semantics let a folder be opened too.
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
    if (n >= final.size()) {  // too small: n is the size needed, its terminator included
        final.resize(n);
        n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
    }
    CloseHandle(h);
    if (n == 0 || n >= final.size()) return {};
    final.resize(n);
    return withoutLongPathPrefix(final);
}

}  // namespace zel
