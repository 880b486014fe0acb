#pragma once

#include <functional>
#include <optional>
#include <string>

#include "view/mail_form.h"
#include "view/panel_view.h"

namespace zel {

// What a window's controls allow: nothing (no service to steer), running and cancelling a backup
// (a watcher of the service), or everything (alone, or a manager of the service).
enum class ControlAccess { None, RunOnly, All };

// What frmMain asks of the screen. A front end (Qt on Linux, Win32 on Windows) implements it
// over its toolkit's controls and turns the toolkit's events into frmMain's handlers; it holds
// no rule of its own. The values it shows are a PanelView's.
class FrontEnd : public PanelView {
public:
    // The folder box that has the focus, or had it last while the window is hidden or inactive.
    virtual std::optional<FolderBox> focusedFolderBox() const = 0;
    // Timer1..Timer5: 0 stops the timer; a nonzero interval starts its countdown afresh.
    virtual void setTimerInterval(int timer, int ms) = 0;

    // The window: its state (0 normal, 1 minimised) as the toolkit should show it, then show,
    // hide, to the front, and a close request (which the toolkit turns into Form_Unload).
    virtual void applyWindowState(int state) = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void bringToFront() = 0;
    virtual void requestClose() = 0;

    // The controls that change the machine: the settings (folder boxes, switches, times, the last
    // row) and "Yedekle". A window whose service is out of reach shows its values greyed; a
    // watcher's window keeps only "Yedekle" (and, on Windows, offers to start an administrator's
    // window from its tray menu). The other button stays: hiding the window needs no service.
    virtual void setControlAccess(ControlAccess access) = 0;

    // The tray icon with the tip "ZEL YEDEK": adding it again is harmless.
    virtual void addTrayIcon() = 0;
    virtual void deleteTrayIcon() = 0;
    // mnuSystray at the pointer; returns once an entry is chosen or the menu is dismissed.
    virtual void popUpTrayMenu() = 0;
    virtual void showTrayWarning(const std::string& title, const std::string& text) = 0;

    // The modal message of a copy that gives way: exclamation icon, OK, empty title.
    virtual void showExclamation(const std::string& text) = 0;
    // The runner's yes/no question: no icon, Yes by default, the program's title; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // Handles every event waiting at this moment, once.
    virtual void processPendingEvents() = 0;
    // Ends the program at once: no further handler runs; started programs keep running.
    virtual void endProgram() = 0;
    // Hands a call from any thread to the window's thread, where it runs among the events.
    virtual void postToWindow(std::function<void()> call) = 0;
    // The modal mail dialog, filled from `form`; returns once it is closed. Its "Tamam" closes it
    // only when `calls.save` agrees, "Deneme gönder" shows `calls.test`'s answer in it.
    virtual void showMailDialog(const MailForm& form, MailDialogCalls calls) = 0;
};

}  // namespace zel
