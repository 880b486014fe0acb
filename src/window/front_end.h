#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/local_time.h"

namespace zel {

// The captions frmMain writes.
enum class Caption { cmdExit, lblInfo, lblTime, lblSon, frmMain };

// A folder box: txtKaynak[pair] (source) or txtHedef[pair].
struct FolderBox {
    bool source = true;
    int pair = 0;
    bool operator==(const FolderBox&) const = default;
};

// What frmMain asks of the screen. A front end (Qt on Linux, Win32 on Windows) implements it
// over its toolkit's controls and turns the toolkit's events into frmMain's handlers; it holds
// no rule of its own.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // txtKaynak[pair] and txtHedef[pair], pair 0..3.
    virtual std::string sourceText(int pair) const = 0;
    virtual void setSourceText(int pair, const std::string& text) = 0;
    virtual std::string targetText(int pair) const = 0;
    virtual void setTargetText(int pair, const std::string& text) = 0;
    // chkYedek1..3 as slot 0..2: 0 off, 1 on, 2 grey. Setting raises the click event; another
    // number is refused (false) and changes nothing.
    virtual int switchValue(int slot) const = 0;
    virtual bool setSwitchValue(int slot, int value) = 0;
    // dtYedek1, dtyedek2, dtYedek3 as slot 0..2. Setting another time raises the change event.
    virtual TimeOfDay pickerTime(int slot) const = 0;
    virtual void setPickerTime(int slot, const TimeOfDay& time) = 0;
    // udSakla, archives kept per target folder: 0..999, a value outside is brought into the range.
    // Setting another value raises the change event.
    virtual int keepArchivesValue() const = 0;
    virtual void setKeepArchivesValue(int value) = 0;
    // chkKacan: 0 off, 1 on (any other number counts as on). Setting another value raises the
    // click event.
    virtual int missedRunValue() const = 0;
    virtual void setMissedRunValue(int value) = 0;
    // The folder box that has the focus, or had it last while the window is hidden or inactive.
    virtual std::optional<FolderBox> focusedFolderBox() const = 0;
    // cmdCopy
    virtual bool copyEnabled() const = 0;
    virtual void setCopyEnabled(bool enabled) = 0;
    virtual std::string caption(Caption which) const = 0;
    virtual void setCaption(Caption which, const std::string& text) = 0;

    // Timer1..Timer5: 0 stops the timer; a nonzero interval starts its countdown afresh.
    virtual void setTimerInterval(int timer, int ms) = 0;

    // The window: its state (0 normal, 1 minimised) as the toolkit should show it, then show,
    // hide, to the front, and a close request (which the toolkit turns into Form_Unload).
    virtual void applyWindowState(int state) = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void bringToFront() = 0;
    virtual void requestClose() = 0;

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
};

}  // namespace zel
