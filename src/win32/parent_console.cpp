#include "win32/parent_console.h"

#include <windows.h>

#include <string>

#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

// A redirected handle the prompt passed on, else the console's own screen buffer.
HANDLE outputHandle(DWORD which, bool attached) {
    const HANDLE given = GetStdHandle(which);
    if (given && given != INVALID_HANDLE_VALUE) return given;
    if (!attached) return nullptr;
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

ParentConsole::ParentConsole() {
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    out_ = outputHandle(STD_OUTPUT_HANDLE, attached);
    err_ = outputHandle(STD_ERROR_HANDLE, attached);
}

void ParentConsole::write(void* handle, std::string_view text) {
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(text);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

}  // namespace zel
