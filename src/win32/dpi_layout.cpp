#include "win32/dpi_layout.h"

#include <algorithm>

#include "platform/system/system_function_win.h"

namespace zel {

UINT windowDpi(HWND window) {
    static const auto getDpiForWindow = systemFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE frameAround(SIZE client, DWORD style, UINT dpi) {
    static const auto adjustForDpi = systemFunction<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>(
        L"user32.dll", "AdjustWindowRectExForDpi");
    RECT frame{0, 0, client.cx, client.cy};
    if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, 0, dpi))
        AdjustWindowRectEx(&frame, style, FALSE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

HFONT makeFont(const wchar_t* family, double points, bool bold, bool italic, UINT dpi) {
    const int height = -static_cast<int>(points * dpi / 72.0 + 0.5);
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, TURKISH_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, family);
}

int timePickerWidth(HWND window, HFONT font, UINT dpi) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, font);
    int text = 0;
    // The widest digits a time can show.
    for (const wchar_t* sample : {L"00:00:00", L"23:59:58", L"88:88:88"}) {
        SIZE size{};
        if (GetTextExtentPoint32W(dc, sample, 8, &size)) text = std::max(text, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    // The up-down arrows, the borders and the margins the control keeps around its text.
    return text + scaled(17 + 4 + 10, dpi);
}

}  // namespace zel
