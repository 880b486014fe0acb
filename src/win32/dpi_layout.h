#pragma once

#include <windows.h>

namespace zel {

// The window is laid out in pixels at 96 DPI; everything scales by the window's DPI / 96.
inline int scaled(int pixelsAt96, UINT dpi) {
    return MulDiv(pixelsAt96, static_cast<int>(dpi), 96);
}

// The DPI of the monitor the window is on (the system's where Windows cannot tell per window).
UINT windowDpi(HWND window);

// The outer size of a window with this style around a client area, at this DPI.
SIZE frameAround(SIZE client, DWORD style, UINT dpi);

// A font in points at this DPI, in the Turkish character set so that ı ş ğ İ show with any
// system locale.
HFONT makeFont(const wchar_t* family, double points, bool bold, bool italic, UINT dpi);

// The width a time picker needs to show all of "HH:mm:ss" in this font, its arrows included.
int timePickerWidth(HWND window, HFONT font, UINT dpi);

}  // namespace zel
