#pragma once

#include <string_view>

namespace zel {

// What the tray icon is: the fixed values every add uses.
struct TrayIconDescription {
    static constexpr unsigned kId = 1;
    static constexpr unsigned kFlags = 7;              // message + icon + tip
    static constexpr unsigned kCallbackMessage = 512;  // reported as a mouse move
    static constexpr std::string_view kTip = "ZEL YEDEK";
};

// Mouse messages that arrive from the tray icon.
inline constexpr int kTrayLeftDoubleClick = 515;  // 0x203
inline constexpr int kTrayRightButtonUp = 517;    // 0x205

// The screen's horizontal twips per pixel as the window counts them: tray messages come in X.
inline constexpr double kTwipsPerPixel = 15.0;

enum class TrayAction { None, RestoreWindow, PopUpMenu };

// The one table of what a tray message does.
TrayAction trayActionFor(int message);

// The message number the window's mouse-move event carries in X: in pixels as it stands,
// in twips divided by the screen's twips per pixel; rounded to the nearest whole number.
int trayMessageFromX(double x, bool scaleIsPixels, double twipsPerPixelX);

}  // namespace zel
