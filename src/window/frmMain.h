#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/files/file_system.h"
#include "platform/processes/process.h"
#include "platform/system/clock.h"
#include "platform/system/locale_formats.h"
#include "platform/system/single_instance.h"
#include "window/front_end.h"
#include "window/machine.h"

namespace zel {

// What the window works with, alone: its machine's parts and the single instance; tests hand in
// their own.
struct FrmMainServices : MachineServices {
    SingleInstance& instance;
};

inline constexpr std::string_view kAlreadyRunning = "Program zaten çalışıyor!";
inline constexpr std::string_view kGaveWayCaption = "()*!@#(*";

// The program's one window, without a toolkit: its state and every handler, in the order and
// with the error modes the program has always had. It reaches the screen only through the
// front end, which calls the handlers when the toolkit's events come. What the machine does it
// passes on: to a machine of its own when the program runs alone, or to the service's.
class frmMain {
public:
    // Alone: the window and its own machine.
    frmMain(FrmMainServices services, FrontEnd& view);
    // A window client: the machine is the service's, reached through `machine`.
    frmMain(SingleInstance& instance, FrontEnd& view, MachineLink& machine);
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Window state: 0 normal, 1 minimised. Setting it runs Form_Resize before it returns.
    int windowState() const { return windowState_; }
    void setWindowState(int state);
    // Timer1..Timer5 as the window holds them; the front end's timers tick only in the copy that
    // stays, from the end of Form_Load on.
    int timerInterval(int timer) const { return intervals_[static_cast<std::size_t>(timer)]; }

    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    // The tray's mouse messages arrive as mouse moves whose X (in twips) carries the message number.
    void Form_MouseMove(int button, int shift, double x, double y);
    void restoreWindow();
    void Form_Unload(int& cancel);
    void cmdCopy_Click();
    void cmdExit_Click();
    void chkYedek1_Click();
    void chkYedek2_Click();
    void chkYedek3_Click();
    void dtYedek1_Change();
    void dtyedek2_Change();
    void dtYedek3_Change();
    void txtKaynak_LostFocus(int index);
    void txtHedef_LostFocus(int index);
    void udSakla_Change();
    void chkKacan_Click();
    // "Ayarlar...": the settings dialog (mail, monitoring), with the machine's (or the service's) settings.
    void cmdEposta_Click();
    void mnuRestore_Click();
    void mnuExit_Click();
    // The program's end: a history record that is queued or being written gets up to
    // kRecordTimeAtEnd to finish, with the window hidden; the run log says whether it was
    // written. Call it once the tray icon is deleted, right before the end.
    void letPendingRecordFinish();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();
    // Logoff, shutdown, the session manager's end or a request to terminate: nothing waits for
    // the program. A folder box with the focus is saved, the end logged (with the pair whose zip
    // was running: that backup is not recorded), the icon deleted, and the program ends.
    void sessionEnding();

    // State of its own machine that other parts of the program share.
    const std::string& archiveName() const { return own_->archiveName(); }
    bool settingsLoaded() const { return own_->settingsLoaded(); }
    bool cancelRequested() const { return own_->cancelRequested(); }

private:
    class Host;

    void setTimerInterval(int timer, int ms);
    void addTrayIcon();
    void giveWayToTheRunningCopy();
    void saveFocusedFolderBox();

    SingleInstance& instance_;
    FrontEnd& view_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<Machine> own_;  // alone only
    MachineLink& machine_;
    int windowState_ = 0;
    short trayAddCount_ = 0;
    std::array<int, 6> intervals_{0, 0, 1000, 0, 30000, 10000};  // by timer number, 1..5
    bool timersLive_ = false;
};

}  // namespace zel
