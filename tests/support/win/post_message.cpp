// Posts a message to a top-level window, as any program on the desktop can:
//   zel_post_message <window title> <message number> <lParam>
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    HWND window = FindWindowW(nullptr, argv[1]);
    if (!window) return 1;
    const auto message = static_cast<UINT>(wcstoul(argv[2], nullptr, 0));
    const auto lParam = static_cast<LPARAM>(wcstoull(argv[3], nullptr, 0));
    return PostMessageW(window, message, 0, lParam) ? 0 : 1;
}
