#include "window/frmMain.h"

#include <utility>

#include "engine/backup_report.h"
#include "window/tray_messages.h"

namespace zel {

// The own machine's way to the user: this window.
class frmMain::Host final : public MachineHost {
public:
    explicit Host(frmMain& form) : form_(form) {}
    void showTrayWarning(const std::string& title, const std::string& text) override {
        form_.view_.showTrayWarning(title, text);
    }
    bool askYesNo(const std::string& text) override { return form_.view_.askYesNo(text); }
    void processPendingEvents() override { form_.view_.processPendingEvents(); }
    void post(std::function<void()> call) override { form_.view_.postToWindow(std::move(call)); }
    void showForRun() override { form_.restoreWindow(); }
    void hideAfterRun() override { form_.setWindowState(1); }

private:
    frmMain& form_;
};

frmMain::frmMain(FrmMainServices services, FrontEnd& view)
    : instance_(services.instance),
      view_(view),
      host_(std::make_unique<Host>(*this)),
      own_(std::make_unique<Machine>(static_cast<MachineServices&&>(std::move(services)), view, *host_)),
      machine_(*own_) {}

frmMain::frmMain(SingleInstance& instance, FrontEnd& view, MachineLink& machine)
    : instance_(instance), view_(view), machine_(machine) {}

frmMain::~frmMain() = default;

void frmMain::setTimerInterval(int timer, int ms) {
    intervals_[static_cast<std::size_t>(timer)] = ms;
    if (timersLive_) view_.setTimerInterval(timer, ms);
}

// ---- start-up ----

void frmMain::Form_Load() {
    machine_.prepare();

    // From here on a failing step is skipped.
    bool alone = true;
    try {
        alone = instance_.claim([this] { restoreWindow(); });
    } catch (...) {
    }
    if (!alone) {
        giveWayToTheRunningCopy();
        return;
    }
    machine_.start();
    // Only the copy that stays does timed work: a copy that gives way must never back up, poll
    // or rewrite the settings while its message is open.
    timersLive_ = true;
    for (int timer = 1; timer <= 5; ++timer)
        view_.setTimerInterval(timer, intervals_[static_cast<std::size_t>(timer)]);
}

// The copy that came second says so, asks the running one to show its window, and ends. It
// never touches the request table, the settings file or the tray.
void frmMain::giveWayToTheRunningCopy() {
    view_.showExclamation(std::string(kAlreadyRunning));
    view_.setCaption(Caption::frmMain, std::string(kGaveWayCaption));
    try {
        instance_.askRunningCopyToShow();
    } catch (...) {
    }
    view_.requestClose();  // refused, as every close request is
    view_.endProgram();
}

// ---- window state, tray ----

void frmMain::setWindowState(int state) {
    windowState_ = state == 1 ? 1 : 0;
    view_.applyWindowState(windowState_);
    Form_Resize();
}

void frmMain::Form_Activate() {
    addTrayIcon();
    setTimerInterval(3, 1000);                       // hides the window one second from now
    if (timersLive_) machine_.noticeMissedBackup();  // now that its warning has an icon to show at
}

// A minimised window is always hidden: everything that wants the window out of sight minimises it.
void frmMain::Form_Resize() {
    if (windowState_ == 1) view_.hideWindow();
}

void frmMain::Form_Unload(int& cancel) {
    setWindowState(1);
    cancel = 1;  // closing never ends the program
}

void frmMain::Form_MouseMove(int /*button*/, int /*shift*/, double x, double /*y*/) {
    switch (trayActionFor(trayMessageFromX(x, false, kTwipsPerPixel))) {
        case TrayAction::RestoreWindow:
            restoreWindow();
            break;
        case TrayAction::PopUpMenu:
            view_.bringToFront();
            view_.popUpTrayMenu();
            break;
        case TrayAction::None:
            break;
    }
}

void frmMain::restoreWindow() {
    setWindowState(0);
    view_.bringToFront();
    view_.showWindow();
}

void frmMain::addTrayIcon() {
    try {
        view_.addTrayIcon();
    } catch (...) {
        // a failed add waits for the next re-add
    }
}

void frmMain::mnuRestore_Click() {
    restoreWindow();
}

void frmMain::mnuExit_Click() {
    saveFocusedFolderBox();
    view_.deleteTrayIcon();
    letPendingRecordFinish();
    view_.endProgram();  // also in the middle of a run: its zip keeps running
}

void frmMain::letPendingRecordFinish() {
    // Nothing on screen while the program ends.
    machine_.letPendingRecordFinish([this] {
        if (windowState_ == 0) setWindowState(1);
    });
}

// A folder box typed into and never left would lose its text at the end: it is saved as if left.
void frmMain::saveFocusedFolderBox() {
    // A copy that gives way, or one still loading, has nothing of its own to keep.
    if (!timersLive_) return;
    if (const std::optional<FolderBox> box = view_.focusedFolderBox())
        box->source ? txtKaynak_LostFocus(box->pair) : txtHedef_LostFocus(box->pair);
}

void frmMain::sessionEnding() {
    saveFocusedFolderBox();
    if (timersLive_) machine_.logEnd("Oturum kapanıyor: program sona erdi");
    view_.deleteTrayIcon();
    letPendingRecordFinish();
    view_.endProgram();
}

// ---- backup ----

void frmMain::cmdCopy_Click() {
    machine_.cmdCopy_Click();
}

void frmMain::cmdExit_Click() {
    if (view_.caption(Caption::cmdExit) == kCaptionHide) {
        setWindowState(1);
        return;
    }
    machine_.cancelRun();
}

// ---- settings handlers: each saves the whole file ----

void frmMain::chkYedek1_Click() {
    machine_.switchClicked(0);
}
void frmMain::chkYedek2_Click() {
    machine_.switchClicked(1);
}
void frmMain::chkYedek3_Click() {
    machine_.switchClicked(2);
}
void frmMain::dtYedek1_Change() {
    machine_.timeChanged(0);
}
void frmMain::dtyedek2_Change() {
    machine_.timeChanged(1);
}
void frmMain::dtYedek3_Change() {
    machine_.timeChanged(2);
}
void frmMain::txtKaynak_LostFocus(int index) {
    machine_.folderLeft({true, index});
}
void frmMain::txtHedef_LostFocus(int index) {
    machine_.folderLeft({false, index});
}
void frmMain::udSakla_Change() {
    machine_.keepChanged();
}
void frmMain::chkKacan_Click() {
    machine_.missedChanged();
}
void frmMain::cmdEposta_Click() {
    if (const std::optional<MailForm> form = machine_.mailForm()) view_.showMailDialog(*form, machine_.mailDialogCalls());
}

// ---- timers ----

void frmMain::Timer2_Timer() {
    machine_.Timer2_Timer();
}

void frmMain::Timer3_Timer() {
    setWindowState(1);
    setTimerInterval(3, 0);
}

// Re-adds the icon about 30 s, 1, 2, 7 and 22 minutes after start, for a tray that came late.
void frmMain::Timer4_Timer() {
    ++trayAddCount_;
    addTrayIcon();
    switch (trayAddCount_) {
        case 1:
            break;
        case 2:
            setTimerInterval(4, 60000);
            break;
        case 3:
            setTimerInterval(4, 300000);
            break;
        case 4:
            setTimerInterval(4, 900000);
            break;
        default:
            setTimerInterval(4, 0);
            break;
    }
}

void frmMain::Timer5_Timer() {
    machine_.Timer5_Timer();
}

}  // namespace zel
