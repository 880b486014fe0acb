#include "window/frmMain.h"

#include <utility>

#include "engine/archive_folder.h"
#include "engine/date_text.h"
#include "engine/disk_space.h"
#include "settings/extra_settings.h"
#include "settings/settings_format.h"
#include "window/daily_notices.h"
#include "window/database_report.h"
#include "window/tray_messages.h"

namespace zel {

// The run's view of the window: the folder boxes, the two buttons and the last-backup label.
class frmMain::View final : public BackupView {
public:
    explicit View(FrontEnd& v) : v_(v) {}
    std::string sourceFolder(int pair) const override { return v_.sourceText(pair); }
    std::string targetFolder(int pair) const override { return v_.targetText(pair); }
    void setCopyEnabled(bool enabled) override { v_.setCopyEnabled(enabled); }
    void setExitCaption(const std::string& caption) override { v_.setCaption(Caption::cmdExit, caption); }
    void setLastBackupText(const std::string& text) override { v_.setCaption(Caption::lblSon, text); }
    int archivesToKeep() const override { return v_.keepArchivesValue(); }

private:
    FrontEnd& v_;
};

// Loading and saving read and write the controls through this.
class frmMain::SettingsView final : public SettingsControls, public ExtraSettingsControls {
public:
    explicit SettingsView(FrontEnd& v) : v_(v) {}
    void setSource(int pair, const std::string& text) override { v_.setSourceText(pair, text); }
    void setTarget(int pair, const std::string& text) override { v_.setTargetText(pair, text); }
    bool setSwitch(int slot, int value) override { return v_.setSwitchValue(slot, value); }
    void setTime(int slot, const TimeOfDay& t) override { v_.setPickerTime(slot, t); }
    Settings current() const override {
        Settings s;
        for (int i = 0; i < 4; ++i) {
            s.sources[i] = v_.sourceText(i);
            s.targets[i] = v_.targetText(i);
        }
        for (int k = 0; k < 3; ++k) {
            s.switches[k] = v_.switchValue(k);
            s.times[k] = v_.pickerTime(k);
        }
        return s;
    }
    void setExtraSettings(const ExtraSettings& values) override {
        v_.setKeepArchivesValue(values.keepArchives);
        v_.setMissedRunValue(values.missedRun);
    }
    ExtraSettings currentExtraSettings() const override {
        return {v_.keepArchivesValue(), v_.missedRunValue()};
    }

private:
    FrontEnd& v_;
};

// Writes each pair's outcome into the run log and keeps the first failure of a run for its warning;
// what every run would repeat (a missing source, a target inside its source, a disk filling up)
// is also warned about, once a day.
class frmMain::RunReporter final : public BackupObserver {
public:
    RunReporter(RunLog& log, const Clock& clock, std::function<void(const std::string&)> warn)
        : log_(log), clock_(clock), warn_(std::move(warn)) {}
    void begin() { firstFailure_.reset(); }
    const std::optional<PairOutcome>& firstFailure() const { return firstFailure_; }

    void zipNotCopied(const std::string& from, const std::string& to) override {
        log_.write("zip programı kopyalanamadı: " + from + " -> " + to);
    }
    void pairDone(const PairOutcome& outcome) override {
        log_.write(pairLogText(outcome));
        if (pairFailed(outcome) && !firstFailure_) firstFailure_ = outcome;
        if (outcome.kind == PairOutcome::Kind::SourceMissing &&
            daily_.tell("yok " + outcome.source, clock_.now()))
            warn_(pairLogText(outcome));
    }
    void oldArchiveDeleted(const std::string& path, const std::string& failure) override {
        log_.write(failure.empty() ? "Eski yedek silindi: " + path
                                   : "Eski yedek silinemedi: " + path + " (" + failure + ")");
    }
    void targetInsideSource(const std::string& source, const std::string& target) override {
        const std::string text = "Hedef klasör kaynağın içinde: " + source + " -> " + target;
        if (daily_.tell(text, clock_.now())) {
            log_.write(text);
            warn_(text);
        }
    }
    void diskNearlyFull(const std::string& target, std::uint64_t free, std::uint64_t runsLeft) override {
        if (!daily_.tell("dolu " + target, clock_.now())) return;
        const std::string text = diskNearlyFullText(target, free, runsLeft);
        log_.write(text);
        warn_(text);
    }

private:
    RunLog& log_;
    const Clock& clock_;
    std::function<void(const std::string&)> warn_;
    std::optional<PairOutcome> firstFailure_;
    DailyNotices daily_;
};

frmMain::frmMain(FrmMainServices services, FrontEnd& view) : services_(std::move(services)), view_(view) {
    RunnerHooks hooks;
    hooks.processEvents = [this] { view_.processPendingEvents(); };
    hooks.askContinue = [this](std::string_view text) { return view_.askYesNo(std::string(text)); };
    runner_ = std::make_unique<ProcessRunner>(services_.windowProcesses, std::move(hooks));
    backupView_ = std::make_unique<View>(view_);
    log_ = std::make_unique<RunLog>(services_.files, services_.clock,
                                    services_.programFolder + "\\" + std::string(kRunLogName));
    reporter_ = std::make_unique<RunReporter>(*log_, services_.clock, [this](const std::string& text) {
        view_.showTrayWarning(std::string(kProgramTitle), text);
    });
    backup_ = std::make_unique<BackupRun>(
        *backupView_, services_.files, services_.clock, *runner_, services_.locale,
        [this] { updateBackupDate(); }, reporter_.get(), [this] { view_.processPendingEvents(); });
    settingsView_ = std::make_unique<SettingsView>(view_);
    settings_ = std::make_unique<SettingsStore>(services_.files, settingsPath(services_.programFolder),
                                                services_.locale);
    extraSettings_ =
        std::make_unique<ExtraSettingsStore>(services_.files, extraSettingsPath(services_.programFolder));
    db_ = std::make_unique<DatabaseThread>(
        DatabaseThread::Parts{services_.connections, services_.files, services_.clock, services_.locale,
                              services_.computerName, services_.processes},
        [this](std::function<void()> call) { view_.postToWindow(std::move(call)); },
        [this](const DbOutcome& outcome) { reportDatabase(outcome); });
}

frmMain::~frmMain() = default;

void frmMain::setTimerInterval(int timer, int ms) {
    intervals_[static_cast<std::size_t>(timer)] = ms;
    if (timersLive_) view_.setTimerInterval(timer, ms);
}

// ---- start-up ----

void frmMain::Form_Load() {
    // The database steps run on their own thread, so a hung server cannot keep the window and
    // the icon from appearing. Without a database the program still backs up; the polls keep
    // trying to reconnect.
    db_->startUp(backup_->builtArchivePath());

    // From here on a failing step is skipped.
    bool alone = true;
    try {
        alone = services_.instance.claim([this] { restoreWindow(); });
    } catch (...) {
    }
    if (!alone) {
        giveWayToTheRunningCopy();
        return;
    }
    checkFirst();
    settings_->load(*settingsView_);
    extraSettings_->load(*settingsView_);
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
        services_.instance.askRunningCopyToShow();
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
    setTimerInterval(3, 1000);              // hides the window one second from now
    if (timersLive_) noticeMissedBackup();  // now that its warning has an icon to show at
}

// A slot that came due while the program was not running (the machine was off, nobody logged
// on) is told at the start; no archive at all is a new setup, where nothing was missed.
void frmMain::noticeMissedBackup() {
    std::vector<std::string> targets;
    for (int pair = 0; pair < kFolderPairs; ++pair) targets.push_back(view_.targetText(pair));
    const std::optional<LocalDateTime> newest = newestArchiveTime(services_.files, targets);
    if (!newest) return;
    const std::optional<TimeOfDay> missed = missedSlot(schedule(), services_.clock.now(), *newest);
    if (!missed) return;
    const std::string text = missedSlotText(*missed, *newest);
    log_->write(text);
    view_.showTrayWarning(std::string(kProgramTitle), text);
    // Made up a minute after the start, so that a logon is not slowed by it.
    if (view_.missedRunValue() != 0) missedRunTicks_ = kMissedRunDelayTicks + 1;
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
    if (!db_->recordsPending()) return;
    if (windowState_ == 0) setWindowState(1);  // nothing on screen while the program ends
    const RecordsAtEnd end = db_->finishRecords(kRecordTimeAtEnd);
    for (const DbOutcome& o : end.finished) log_->write(recordLogText(o));
    if (end.unfinished > 0) log_->write(kRecordUnfinishedAtEnd);
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
    if (timersLive_) {
        std::string text = "Oturum kapanıyor: program sona erdi";
        if (const std::optional<int> pair = backup_->pairInProgress()) {
            text += "; yarıda kalan yedekleme kaydedilmedi: " + view_.sourceText(*pair) + " -> " +
                    view_.targetText(*pair);
        }
        log_->write(text);
    }
    view_.deleteTrayIcon();
    letPendingRecordFinish();
    view_.endProgram();
}

// ---- backup ----

void frmMain::cmdCopy_Click() {
    const std::string trigger = std::exchange(nextRunTrigger_, std::string());
    if (backup_->running()) return;  // a press or a due slot during a run starts nothing
    log_->write("Yedekleme başladı (" + (trigger.empty() ? "Yedekle düğmesi" : trigger) + ")");
    reporter_->begin();
    backup_->run();
    log_->write("Yedekleme bitti");
    // One warning a run, for the first pair that did not end with its archive.
    if (const auto& failure = reporter_->firstFailure())
        view_.showTrayWarning(std::string(kProgramTitle), failureWarningText(*failure));
}

void frmMain::cmdExit_Click() {
    if (view_.caption(Caption::cmdExit) == kCaptionHide) {
        setWindowState(1);
        return;
    }
    // "İptal" during a run: the button becomes usable at once and the run starts no further pair.
    view_.setCopyEnabled(true);
    view_.setCaption(Caption::cmdExit, std::string(kCaptionHide));
    backup_->requestCancel();
}

// ---- database ----

void frmMain::updateBackupDate() {
    // Without an archive to record the database is not asked at all; the log says why.
    if (backup_->builtArchivePath().empty()) {
        log_->write("Yedekleme kaydı yazılmadı: " + backup_->whyNotRecorded());
        return;
    }
    db_->record(backup_->builtArchivePath());
}

void frmMain::checkFirst() {
    db_->checkFirst();
}

void frmMain::checkDisconnect() {
    // Skipped while the previous poll still waits for the utility with this very request; the
    // label then keeps the time of the last poll that ran.
    if (db_->poll(view_.sourceText(0))) {
        view_.setCaption(Caption::lblInfo, statusText(services_.clock.now(), services_.locale.timeSeparator));
        return;
    }
    // A utility that waits for an answer in its hidden window would hold every request for days.
    if (const std::optional<std::string> line = db_->overdueUtility(kUtilityOverdue)) {
        const std::string text = "Kapatma programı 5 dakikadır bitmedi: " + *line;
        log_->write(text);
        view_.showTrayWarning(std::string(kProgramTitle), text);
    }
}

// The run log hears what the database thread did: each history record, each request served,
// and each loss and return of the connection once.
void frmMain::reportDatabase(const DbOutcome& o) {
    if (!timersLive_) return;  // a copy that gives way stays out of the running copy's log
    if (o.step == DbOutcome::Step::Record) log_->write(recordLogText(o));
    if (o.served) {
        log_->write("Bağlantı kesme isteği: kullanıcı " + o.served->user + ", proshut çıkış kodu " +
                    (o.served->exitCode ? std::to_string(*o.served->exitCode) : std::string("yok")));
    }
    if (dbConnected_ != o.connected) {
        dbConnected_ = o.connected;
        log_->write(o.connected
                        ? std::string("Veritabanı bağlantısı kuruldu")
                        : "Veritabanı bağlantısı yok" + (o.error.empty() ? std::string() : ": " + o.error));
    }
}

// ---- settings handlers: each saves the whole file ----

void frmMain::chkYedek1_Click() {
    saveSettings();
}
void frmMain::chkYedek2_Click() {
    saveSettings();
}
void frmMain::chkYedek3_Click() {
    saveSettings();
}
void frmMain::dtYedek1_Change() {
    saveSettings();
}
void frmMain::dtyedek2_Change() {
    saveSettings();
}
void frmMain::dtYedek3_Change() {
    saveSettings();
}
void frmMain::txtKaynak_LostFocus(int /*index*/) {
    saveSettings();
}
void frmMain::txtHedef_LostFocus(int /*index*/) {
    saveSettings();
}
void frmMain::udSakla_Change() {
    saveExtraSettings();
}
void frmMain::chkKacan_Click() {
    saveExtraSettings();
}

void frmMain::saveSettings() {
    tellSaveFailure(settings_->save(*settingsView_), settings_->path(), saveNotices_);
}

void frmMain::saveExtraSettings() {
    tellSaveFailure(extraSettings_->save(*settingsView_), extraSettings_->path(), extraSaveNotices_);
}

// A failed save leaves the old file and the controls' values; the log hears of each one, the user
// once per cause until a save succeeds again.
void frmMain::tellSaveFailure(const SaveResult& saved, const std::string& path, SaveFailureNotices& notices) {
    if (saved) notices.succeeded();
    if (saved.failure.empty()) return;
    const std::string text = saveFailureText(path, saved.failure);
    log_->write(text);
    if (notices.tell(saved.failure)) view_.showTrayWarning(std::string(kProgramTitle), text);
}

// ---- timers ----

std::array<ScheduleSlot, 3> frmMain::schedule() const {
    std::array<ScheduleSlot, 3> slots;
    for (int k = 0; k < 3; ++k)
        slots[static_cast<std::size_t>(k)] = {view_.switchValue(k), view_.pickerTime(k)};
    return slots;
}

// The clock, and the schedule: a slot whose switch is on fires once when its time comes up, also
// when this tick came late and the one before it was a second or more earlier.
void frmMain::Timer2_Timer() {
    const LocalDateTime now = services_.clock.now();
    view_.setCaption(Caption::lblTime, clockText(now, services_.locale.timeSeparator));
    const std::array<ScheduleSlot, 3> slots = schedule();
    // Ticks during a run are counted too: a slot due then is not made up afterwards.
    const int due = slotWatch_.tick(now, slots);
    if (missedRunTicks_ > 1) --missedRunTicks_;  // at 1 the missed run is due, and waits for a free moment
    if (!view_.copyEnabled() || backup_->running()) return;  // a run is in progress
    if (due < 0 && missedRunTicks_ != 1) return;

    nextRunTrigger_ = due >= 0 ? "zamanlama " + std::to_string(due + 1) + ", " +
                                     timeOfDayText(slots[static_cast<std::size_t>(due)].time, ":")
                               : std::string("açılışta kaçan yedekleme");
    missedRunTicks_ = 0;  // any run now makes up for the missed one
    restoreWindow();
    cmdCopy_Click();
    view_.processPendingEvents();
    setWindowState(1);
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
    checkDisconnect();
}

}  // namespace zel
