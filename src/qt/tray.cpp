#include "qt/tray.h"

#include <xcb/xcb.h>
#include <QCursor>
#include <QGuiApplication>

#include "window/tray_messages.h"

namespace zel {

SystemTray::SystemTray(const QIcon& icon, QObject* parent) : Tray(parent), icon_(icon) {
    icon_.setToolTip(QString::fromUtf8(TrayIconDescription::kTip.data(),
                                       static_cast<int>(TrayIconDescription::kTip.size())));
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (int n = messageFor(reason)) emit message(n);
    });
}

int SystemTray::messageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            return kTrayLeftDoubleClick;
        // Qt reports the right button as it goes down; that stands for the release here.
        case QSystemTrayIcon::Context:
            return kTrayRightButtonUp;
        case QSystemTrayIcon::Trigger:
            return 513;  // the first click of a double-click
        case QSystemTrayIcon::MiddleClick:
            return 520;
        default:
            return 0;
    }
}

void SystemTray::addIcon() {
    // A shown icon is docked by Qt whenever a tray host (re)appears; showing it again is harmless.
    icon_.show();
}

void SystemTray::deleteIcon() {
    icon_.hide();
    // The icon window's destruction waits in the display connection until the event loop runs
    // again; the program's end may first wait for a history record, so it goes out now.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        xcb_flush(x11->connection());
}

void SystemTray::popUp(QMenu& menu) {
    menu.exec(QCursor::pos());
}

void SystemTray::showWarning(const QString& title, const QString& text) {
    constexpr int kShownMs = 30000;
    icon_.showMessage(title, text, QSystemTrayIcon::Warning, kShownMs);
}

}  // namespace zel
