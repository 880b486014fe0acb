#include "window/tray_messages.h"

#include <cmath>

namespace zel {

TrayAction trayActionFor(int message) {
    switch (message) {
        case kTrayLeftDoubleClick:
            return TrayAction::RestoreWindow;
        case kTrayRightButtonUp:
            return TrayAction::PopUpMenu;
        default:
            return TrayAction::None;  // moves, single clicks, right press, middle button
    }
}

int trayMessageFromX(double x, bool scaleIsPixels, double twipsPerPixelX) {
    double n = scaleIsPixels ? x : x / twipsPerPixelX;
    return static_cast<int>(std::lround(n));
}

}  // namespace zel
