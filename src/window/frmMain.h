#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "db/database_thread.h"
#include "engine/backup_report.h"
#include "engine/backup_run.h"
#include "engine/process_runner.h"
#include "engine/run_log.h"
#include "engine/schedule.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_formats.h"
#include "platform/process.h"
#include "platform/single_instance.h"
#include "settings/settings_store.h"
#include "window/front_end.h"

namespace zel {

// What the window works with; tests hand in their own.
struct FrmMainServices {
    FileSystem& files;
    const Clock& clock;
    // The window's own waits for the zip program: the front end keeps its events flowing in them.
    ProcessOps& windowProcesses;
    // Plain waits, for the shutdown utility on the database thread.
    ProcessOps& processes;
    LocaleFormats locale;
    std::string programFolder;  // the settings file and the run log live here
    ConnectionFactory connections;
    std::function<std::string()> computerName;
    SingleInstance& instance;
};

inline constexpr std::string_view kProgramTitle = "ZEL Yedek";
inline constexpr std::string_view kAlreadyRunning = "Program zaten çalışıyor!";
inline constexpr std::string_view kGaveWayCaption = "()*!@#(*";
inline constexpr std::chrono::milliseconds kRecordTimeAtEnd{3000};
// A shutdown utility still running after this is told about, once.
inline constexpr std::chrono::minutes kUtilityOverdue{5};
// Clock ticks from the start until a missed backup is made up.
inline constexpr int kMissedRunDelayTicks = 60;

// The program's one window, without a toolkit: its state and every handler, in the order and
// with the error modes the program has always had. It reaches the screen only through the
// front end, which calls the handlers when the toolkit's events come.
class frmMain {
public:
    frmMain(FrmMainServices services, FrontEnd& view);
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

    void saveSettings();
    // The extra settings file, from udSakla and chkKacan.
    void saveExtraSettings();
    // The database steps are handed to the database thread and return at once.
    void updateBackupDate();
    void checkFirst();
    void checkDisconnect();

    // State that other parts of the program share.
    const std::string& archiveName() const { return backup_->archiveName(); }
    bool settingsLoaded() const { return settings_->loaded(); }
    bool cancelRequested() const { return backup_->cancelRequested(); }

private:
    class View;
    class SettingsView;
    class RunReporter;

    void setTimerInterval(int timer, int ms);
    void addTrayIcon();
    void giveWayToTheRunningCopy();
    void saveFocusedFolderBox();
    void noticeMissedBackup();
    void tellSaveFailure(const SaveResult& saved, const std::string& path, SaveFailureNotices& notices);
    void reportDatabase(const DbOutcome& outcome);
    std::array<ScheduleSlot, 3> schedule() const;

    FrmMainServices services_;
    FrontEnd& view_;
    std::unique_ptr<ProcessRunner> runner_;
    std::unique_ptr<View> backupView_;
    std::unique_ptr<RunLog> log_;
    std::unique_ptr<RunReporter> reporter_;
    std::unique_ptr<BackupRun> backup_;
    std::unique_ptr<SettingsView> settingsView_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<ExtraSettingsStore> extraSettings_;
    int windowState_ = 0;
    short trayAddCount_ = 0;
    std::array<int, 6> intervals_{0, 0, 1000, 0, 30000, 10000};  // by timer number, 1..5
    bool timersLive_ = false;
    int missedRunTicks_ = 0;  // counts clock ticks down to a missed backup's run; 0: none
    SlotWatch slotWatch_;
    SaveFailureNotices saveNotices_;
    SaveFailureNotices extraSaveNotices_;  // each file's causes are told on their own
    std::string nextRunTrigger_;           // what starts the next run, for the log: a slot or the button
    std::optional<bool> dbConnected_;      // as last logged
    std::unique_ptr<DatabaseThread> db_;   // last: its outcomes come back to everything above
};

}  // namespace zel
