#include <windows.h>

#include "platform/files/program_folder.h"
#include "platform/system/wide_text_win.h"

namespace zel {

std::string executableFolder() {
    std::wstring buf(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    buf.resize(n);
    auto slash = buf.rfind(L'\\');
    return narrow(slash == std::wstring::npos ? buf : buf.substr(0, slash));
}

}  // namespace zel
