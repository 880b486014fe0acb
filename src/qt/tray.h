#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace zel {

// The notification-area icon as the window uses it. Tests put a fake in its place.
class Tray : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Adds the icon; adding while it is present changes nothing the user sees.
    virtual void addIcon() = 0;
    virtual void deleteIcon() = 0;
    // Pops the menu up at the pointer and returns when an entry is chosen or the menu dismissed.
    virtual void popUp(QMenu& menu) = 0;
    // A warning balloon at the icon, also while the window is hidden.
    virtual void showWarning(const QString& title, const QString& text) = 0;

signals:
    // A mouse message on the icon, by its number (515 left double-click, 517 right button).
    void message(int number);
};

// The real icon over QSystemTrayIcon: the window's icon with the tip "ZEL YEDEK".
class SystemTray final : public Tray {
    Q_OBJECT
public:
    explicit SystemTray(const QIcon& icon, QObject* parent = nullptr);
    void addIcon() override;
    void deleteIcon() override;
    void popUp(QMenu& menu) override;
    void showWarning(const QString& title, const QString& text) override;
    QString toolTip() const { return icon_.toolTip(); }

    // Qt's activation reasons as message numbers; 0 for those that mean nothing here.
    static int messageFor(QSystemTrayIcon::ActivationReason reason);

private:
    QSystemTrayIcon icon_;
};

}  // namespace zel
