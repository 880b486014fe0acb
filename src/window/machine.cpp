#include "window/machine.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "engine/archive_folder.h"
#include "engine/backup_report.h"
#include "engine/date_text.h"
#include "engine/disk_space.h"
#include "engine/folder_text.h"
#include "remote/place_factory.h"
#include "settings/extra_settings.h"
#include "settings/settings_format.h"
#include "window/daily_notices.h"
#include "window/database_report.h"
#include "window/status_report.h"

namespace zel {
namespace {

// A run-log line as the log has it, without its line end: for status queries and mail.
std::string stampedLine(const LocalDateTime& at, std::string_view text) {
    std::string line = runLogLine(at, text);
    line.resize(line.size() - 2);
    return line;
}

}  // namespace

// The run's view of the panel: the folder boxes, the two buttons and the last-backup label.
class Machine::View final : public BackupView {
public:
    explicit View(PanelView& v) : v_(v) {}
    std::string sourceFolder(int pair) const override { return v_.sourceText(pair); }
    std::string targetFolder(int pair) const override { return v_.targetText(pair); }
    void setCopyEnabled(bool enabled) override { v_.setCopyEnabled(enabled); }
    void setExitCaption(const std::string& caption) override { v_.setCaption(Caption::cmdExit, caption); }
    void setLastBackupText(const std::string& text) override { v_.setCaption(Caption::lblSon, text); }
    // 0 keeps them all: a run that may not retire archives deletes none.
    int archivesToKeep() const override { return retires ? v_.keepArchivesValue() : 0; }

    bool retires = true;

private:
    PanelView& v_;
};

// Loading and saving read and write the panel through this.
class Machine::SettingsView final : public SettingsControls, public ExtraSettingsControls {
public:
    SettingsView(PanelView& v, Mailer& mailer, FleetWatch& watch, SecondCopy& second,
                 std::function<void(const RunCommandSettings&)> setCommands, const RunCommandSettings& commands)
        : v_(v),
          mailer_(mailer),
          watch_(watch),
          second_(second),
          setCommands_(std::move(setCommands)),
          commands_(commands) {}
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
        mailer_.setSettings(values.mail);
        watch_.setSettings(values.watch);
        second_.setSettings(values.remote);
        setCommands_(values.commands);
    }
    ExtraSettings currentExtraSettings() const override {
        return {v_.keepArchivesValue(), v_.missedRunValue(), mailer_.settings(), watch_.settings(), second_.settings(),
                commands_};
    }

private:
    PanelView& v_;
    Mailer& mailer_;
    FleetWatch& watch_;
    SecondCopy& second_;
    std::function<void(const RunCommandSettings&)> setCommands_;
    const RunCommandSettings& commands_;
};

// Writes each pair's outcome into the run log and keeps the first failure of a run for its warning;
// what every run would repeat (a missing source, a target inside its source, a disk filling up)
// is also warned about, once a day.
class Machine::RunReporter final : public BackupObserver {
public:
    RunReporter(RunLog& log, const Clock& clock, FleetWatch& watch, std::function<void(const std::string&)> warn)
        : log_(log), clock_(clock), watch_(watch), warn_(std::move(warn)) {}
    void begin() {
        firstFailure_.reset();
        failedLines_.clear();
    }
    const std::optional<PairOutcome>& firstFailure() const { return firstFailure_; }
    const std::vector<std::string>& failedLines() const { return failedLines_; }

    void zipNotCopied(const std::string& from, const std::string& to) override {
        log_.write("zip programı kopyalanamadı: " + from + " -> " + to);
    }
    void pairDone(const PairOutcome& outcome) override {
        log_.write(pairLogText(outcome));
        const std::vector<std::string> changed = changedFileLines(outcome);
        for (const std::string& line : changed) log_.write(line);
        // The archive is kept and recorded, but it is not of one moment: that is worth a warning.
        if (!changed.empty()) warn_(pairLogText(outcome));
        watch_.pairDone(outcome);
        if (pairFailed(outcome)) failedLines_.push_back(pairLogText(outcome));
        if (pairFailed(outcome) && !firstFailure_) firstFailure_ = outcome;
        if (outcome.kind == PairOutcome::Kind::SourceMissing &&
            daily_.tell("yok " + outcome.source, clock_.now()))
            warn_(pairLogText(outcome));
    }
    void oldArchiveDeleted(const std::string& path, const std::string& failure) override {
        log_.write(failure.empty() ? "Eski yedek silindi: " + path
                                   : "Eski yedek silinemedi: " + path + " (" + failure + ")");
    }
    void foundInTheWay(const std::string& path, const std::string& why, const std::string& setAside,
                       const std::string&) override {
        if (setAside.empty()) return;  // the pair's own line says why it was refused
        const std::string text = "Hedefte arşivin adında bu programın olmayan bir dosya vardı (" + why +
                                 "); açılmadan kenara alındı: " + path + " -> " + setAside;
        log_.write(text);
        warn_(text);
    }
    void clockWentBack(const std::string& archive) override {
        if (!daily_.tell("saat " + archive, clock_.now())) return;
        const std::string text = clockWentBackText(archive);
        log_.write(text);
        warn_(text);
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
    FleetWatch& watch_;
    std::function<void(const std::string&)> warn_;
    std::optional<PairOutcome> firstFailure_;
    std::vector<std::string> failedLines_;
    DailyNotices daily_;
};

Machine::Machine(MachineServices services, PanelView& panel, MachineHost& host)
    : services_(std::move(services)), panel_(panel), host_(host) {
    RunnerHooks hooks;
    hooks.processEvents = [this] { host_.processPendingEvents(); };
    hooks.askContinue = [this](std::string_view text) { return host_.askYesNo(std::string(text)); };
    runner_ = std::make_unique<ProcessRunner>(services_.windowProcesses, std::move(hooks));
    backupView_ = std::make_unique<View>(panel_);
    log_ = std::make_unique<RunLog>(services_.files, services_.clock,
                                    services_.programFolder + "\\" + std::string(kRunLogName),
                                    [this](std::string_view text) {
                                        recentLog_.push_back(stampedLine(services_.clock.now(), text));
                                        if (recentLog_.size() > kRecentLogLines) recentLog_.pop_front();
                                        if (collectingRun_) runLines_.push_back(recentLog_.back());
                                        host_.logWritten(std::string(text));
                                    });
    watch_ = std::make_unique<FleetWatch>(FleetWatchParts{
        services_.files, services_.clock, ZEL_VERSION, services_.service, services_.ping,
        [this](std::function<void()> call) { host_.post(std::move(call)); },
        [this](const std::string& line) { log_->write(line); }, [this](const std::string& text) { warn(text); }});
    reporter_ = std::make_unique<RunReporter>(*log_, services_.clock, *watch_,
                                              [this](const std::string& text) { warn(text); });
    backup_ = std::make_unique<BackupRun>(
        *backupView_, services_.files, services_.clock, *runner_, services_.locale,
        [this] { updateBackupDate(); }, reporter_.get(), [this] { host_.processPendingEvents(); },
        services_.ownZip);
    mailer_ = std::make_unique<Mailer>(MailerParts{
        services_.mail, services_.clock, services_.computerName,
        [this](std::function<void()> call) { host_.post(std::move(call)); },
        [this](const std::string& line) {
            log_->write(line);
            warn(line, false);  // a warning about mail that is itself mailed would only fail again
        },
        [this](const std::string& line) { log_->write(line); },
        [this] { return statusSummary(status()).line; }});
    second_ = std::make_unique<SecondCopy>(SecondCopyParts{
        services_.files, services_.clock,
        [this](const RemoteSettings& settings, std::string& failure) {
            return makeSecondPlace(settings, services_.files, services_.shareLogon, failure);
        },
        [this](std::function<void()> call) { host_.post(std::move(call)); },
        [this](const std::string& line) { log_->write(line); }, [this](const std::string& text) { warn(text); }});
    commands_ = std::make_unique<RunCommands>(RunCommands::Parts{
        *runner_, services_.commandWriters, [this](const std::string& line) { log_->write(line); },
        [this](const std::string& text) { warn(text); }});
    shadow_ = std::make_unique<ShadowStage>(ShadowStage::Parts{
        services_.shadowCopies, services_.elevated, services_.files, services_.programFolder + "\\golge",
        services_.programFolder + "\\" + std::string(kShadowSetFileName), [this] { host_.processPendingEvents(); },
        [this](const std::string& line) { log_->write(line); }, [this](const std::string& text) { warn(text); }});
    stages_ = std::make_unique<StagesInOrder>(std::vector<RunStages*>{commands_.get(), shadow_.get()});
    settingsView_ = std::make_unique<SettingsView>(
        panel_, *mailer_, *watch_, *second_, [this](const RunCommandSettings& commands) { setCommands(commands); },
        commandSettings_);
    setCommands(commandSettings_);  // the defaults, until the file says otherwise
    settings_ = std::make_unique<SettingsStore>(services_.files, settingsPath(services_.programFolder),
                                                services_.locale);
    extraSettings_ =
        std::make_unique<ExtraSettingsStore>(services_.files, extraSettingsPath(services_.programFolder));
    db_ = std::make_unique<DatabaseThread>(
        DatabaseThread::Parts{services_.connections, services_.files, services_.clock, services_.locale,
                              services_.computerName, services_.processes, services_.untrustedWriters},
        [this](std::function<void()> call) { host_.post(std::move(call)); },
        [this](const DbOutcome& outcome) { reportDatabase(outcome); });
}

Machine::~Machine() = default;

void Machine::setCommands(const RunCommandSettings& commands) {
    commandSettings_ = commands;
    commands_->setCommands(commands.before, commands.after);
    shadow_->setMode(commands.shadowCopy);
    // Without a command or a snapshot nothing runs around the pairs: the run is the plain one.
    const bool around = !commands.before.empty() || !commands.after.empty() || shadow_->active();
    backup_->setStages(around ? stages_.get() : nullptr);
}

// A warning reaches the user (the window's tray, or kept for the next window), the system's log,
// and a status query for a day.
void Machine::warn(const std::string& text, bool mail) {
    const LocalDateTime now = services_.clock.now();
    if (mail) {
        // A run's warnings go in its own mail.
        std::string line = stampedLine(now, text);
        collectingRun_ ? runWarnings_.push_back(std::move(line)) : mailer_->warned(line);
    }
    heldWarnings_.push_back({now, text});
    std::erase_if(heldWarnings_, [&](const HeldWarning& w) {
        return wallSecond(now) - wallSecond(w.at) > kHeldWarningSeconds;
    });
    while (heldWarnings_.size() > kHeldWarningsMost) heldWarnings_.pop_front();
    toSystemLog(SystemEvent::Warning, text);
    host_.showTrayWarning(std::string(kProgramTitle), text);
}

void Machine::toSystemLog(SystemEvent event, const std::string& text) {
    if (services_.systemLog) services_.systemLog->write(event, text);
}

// ---- start-up ----

void Machine::prepare() {
    // The database steps run on their own thread, so a hung server cannot keep the window and
    // the icon from appearing. Without a database the program still backs up; the polls keep
    // trying to reconnect.
    db_->startUp(backup_->builtArchivePath());
}

void Machine::start() {
    db_->checkFirst();
    settings_->load(*settingsView_);
    extraSettings_->load(*settingsView_);
    startedAt_ = services_.clock.now();
    shadow_->deleteLeftover();
    second_->passNow(copyRequest());
    // Only the copy that stays does timed work: a copy that gives way must never back up, poll
    // or rewrite the settings while its message is open.
    live_ = true;
}

// A slot that came due while the program was not running (the machine was off, nobody logged
// on) is told at the start; no archive at all is a new setup, where nothing was missed.
void Machine::noticeMissedBackup() {
    if (!live_) return;
    const LocalDateTime now = services_.clock.now();
    const std::optional<LocalDateTime> newest = newestArchiveTime(services_.files, targets(), now);
    // A slot due while the program was starting (a restart for updates, a service started again)
    // runs at the first tick; one due earlier is told below.
    slotWatch_.lookBackFrom(startUpLookBack(now, newest));
    const std::optional<TimeOfDay> missed = newest ? missedSlot(schedule(), now, *newest) : std::nullopt;
    // A missed backup told says what the overdue alarm would; the alarm waits for its next look.
    checkOverdue(!missed);
    if (missed) tellMissedBackup(*missed, newest);
}

void Machine::tellMissedBackup(const TimeOfDay& slot, const std::optional<LocalDateTime>& newest) {
    const std::string text = missedSlotText(slot, newest);
    log_->write(text);
    warn(text);
    // Made up a minute later, so that a logon is not slowed by it.
    if (panel_.missedRunValue() != 0) missedRunTicks_ = kMissedRunDelayTicks + 1;
}

// ---- the end ----

void Machine::logEnd(const std::string& text) {
    if (!live_) return;
    std::string line = text;
    if (const std::optional<int> pair = backup_->pairInProgress()) {
        line += "; yarıda kalan yedekleme kaydedilmedi: " + panel_.sourceText(*pair) + " -> " +
                panel_.targetText(*pair);
        // Nothing of it is left running, nor looking like a good archive.
        if (const std::string stopped = backup_->stopInMidRun(); !stopped.empty()) line += " (" + stopped + ")";
    } else if (backup_->running()) {
        backup_->stopInMidRun();  // between pairs, or in the command before: the command after still runs
    }
    log_->write(line);
}

void Machine::letPendingRecordFinish(const std::function<void()>& beforeWaiting) {
    const bool records = db_->recordsPending();
    if (!records && !mailer_->pending()) return watch_->end();
    if (beforeWaiting) beforeWaiting();
    if (records) {
        const RecordsAtEnd end = db_->finishRecords(kRecordTimeAtEnd);
        for (const DbOutcome& o : end.finished) log_->write(recordLogText(o));
        if (end.unfinished > 0) log_->write(kRecordUnfinishedAtEnd);
    }
    for (const std::string& line : mailer_->stop()) log_->write(line);
    watch_->end();
}

// ---- backup ----

void Machine::cmdCopy_Click() {
    const std::string trigger = std::exchange(nextRunTrigger_, std::string());
    const bool retires = !std::exchange(nextRunKeepsAll_, false);
    if (backup_->running()) return;  // a press or a due slot during a run starts nothing
    backupView_->retires = retires;
    runLines_.clear();
    runWarnings_.clear();
    collectingRun_ = true;
    log_->write("Yedekleme başladı (" + (trigger.empty() ? "Yedekle düğmesi" : trigger) + ")");
    reporter_->begin();
    watch_->runStarted();
    second_->runStarted(services_.clock.now());
    ++runsStarted_;
    inRun_ = true;
    backup_->run();
    inRun_ = false;
    runFailures_ = {runsStarted_, reporter_->failedLines()};
    log_->write("Yedekleme bitti");
    collectingRun_ = false;
    CopyRequest copies = copyRequest();
    copies.retire = retires;
    second_->runEnded(std::move(copies));
    // One warning a run, for the first pair that did not end with its archive; it goes in the
    // run's mail, which waits for the record.
    std::optional<std::string> failureWarning;
    if (const auto& failure = reporter_->firstFailure()) failureWarning = failureWarningText(*failure);
    RunMailFacts facts{!reporter_->failedLines().empty(), std::move(runLines_), std::move(runWarnings_)};
    if (failureWarning) facts.warnings.push_back(stampedLine(services_.clock.now(), *failureWarning));
    runMail_ = {runsStarted_, std::move(facts)};
    runMailSince_ = services_.clock.now();
    // Whoever waits for the record hears of it after the run's last line.
    if (const auto record = std::exchange(recordDuringRun_, std::nullopt))
        runEnded(runsStarted_, record->first, record->second);
    if (failureWarning) warn(*failureWarning, false);
    checkOverdue();
}

void Machine::cancelRun() {
    panel_.setCopyEnabled(true);
    panel_.setCaption(Caption::cmdExit, std::string(kCaptionHide));
    backup_->requestCancel();
}

// ---- database ----

void Machine::updateBackupDate() {
    // Without an archive to record the database is not asked at all; the log says why.
    if (backup_->builtArchivePath().empty()) {
        lastOutcome_ = "Yedekleme kaydı yazılmadı: " + backup_->whyNotRecorded();
        log_->write(lastOutcome_);
        tellRecord(runsStarted_, false);
        return;
    }
    lastOutcome_ = "Yedekleme kaydı bekleniyor: " + backup_->builtArchivePath();
    recordsAsked_.push_back(runsStarted_);
    db_->record(backup_->builtArchivePath());
}

// A record answers for the run that asked for it: one still queued from an earlier run never
// passes for the run in progress.
void Machine::tellRecord(std::uint64_t run, bool recorded) {
    if (inRun_ && run == runsStarted_)
        recordDuringRun_ = {recorded, lastOutcome_};
    else
        runEnded(run, recorded, lastOutcome_);
}

// A run's end as the history has it: to whoever waits for it, and to the system's log with the
// lines of the pairs that failed.
void Machine::runEnded(std::uint64_t run, bool recorded, const std::string& text) {
    if (run >= lastRecordedRun_) {
        lastRecordedRun_ = run;
        lastRecorded_ = recorded;
    }
    std::string entry = text;
    if (runFailures_.first == run)
        for (const std::string& line : runFailures_.second) entry += "\n" + line;
    toSystemLog(recorded ? SystemEvent::RunRecorded : SystemEvent::RunNotRecorded, entry);
    host_.runRecorded(run, recorded, text);
    if (runMail_ && runMail_->first == run) {
        RunMailFacts facts = std::move(runMail_->second);
        runMail_.reset();
        // A run whose history was not written failed as much as one without its archive.
        facts.failed = facts.failed || !recorded;
        const bool logged = std::any_of(facts.lines.begin(), facts.lines.end(), [&](const std::string& line) {
            return line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0;
        });
        if (!logged) facts.lines.push_back(stampedLine(services_.clock.now(), text));
        runFinished(std::move(facts));
    }
}

void Machine::runFinished(RunMailFacts facts) {
    watch_->runEnded(facts.failed, facts.lines);
    mailer_->runEnded(facts);
    writeMetrics();
}

void Machine::writeMetrics() {
    if (watch_->settings().metricsFolder.empty()) return;
    MachineFigures figures;
    for (int pair = 0; pair < kFolderPairs; ++pair)
        figures.pairs[static_cast<std::size_t>(pair)] = {panel_.sourceText(pair), panel_.targetText(pair)};
    figures.lastRecorded = lastRecorded_;
    figures.warningsHeld = warningsOfTheDay().size();
    figures.schedule = schedule();
    watch_->writeMetrics(figures);
}

// With a slot enabled, no verified archive for longer than the slots' longest gap (plus a margin)
// means the backups have stopped; told once a day while it holds.
void Machine::checkOverdue(bool tell) {
    overdueTicks_ = 0;
    const LocalDateTime now = services_.clock.now();
    newestArchive_ = newestArchiveTime(services_.files, targets(), now);
    // The pair furthest behind: the oldest of the used pairs' newest archives.
    laggingArchive_.reset();
    for (int pair = 0; pair < kFolderPairs; ++pair) {
        if (panel_.sourceText(pair).empty()) continue;
        const std::optional<LocalDateTime> newest = newestArchiveTime(services_.files, {panel_.targetText(pair)}, now);
        if (!newest) {
            laggingArchive_.reset();
            break;
        }
        if (!laggingArchive_ || wallSecond(*newest) < wallSecond(*laggingArchive_)) laggingArchive_ = newest;
    }
    overdue_ = overdueBackup(schedule(), newestArchive_, startedAt_, now);
    if (tell) second_->checkOverdue(schedule());
    writeMetrics();
    if (!overdue_ || !tell || !overdueNotices_.tell("gecikme", now)) return;
    const std::string text = overdueText(*overdue_);
    log_->write(text);
    warn(text);
}

void Machine::checkDisconnect() {
    // Skipped while the previous poll still waits for the utility with this very request; the
    // label then keeps the time of the last poll that ran.
    if (db_->poll(panel_.sourceText(0))) {
        panel_.setCaption(Caption::lblInfo,
                          statusText(services_.clock.now(), services_.locale.timeSeparator));
        return;
    }
    // A utility that waits for an answer in its hidden window would hold every request for days.
    if (const std::optional<std::string> line = db_->overdueUtility(kUtilityOverdue)) {
        const std::string text = "Kapatma programı 5 dakikadır bitmedi: " + *line;
        log_->write(text);
        warn(text);
    }
}

// The run log hears what the database thread did: each history record, each request served,
// and each loss and return of the connection once.
void Machine::reportDatabase(const DbOutcome& o) {
    if (!live_) return;  // a copy that gives way stays out of the running copy's log
    if (o.step == DbOutcome::Step::Record) {
        lastOutcome_ = recordLogText(o);
        log_->write(lastOutcome_);
        // The database answers the records in the order they were asked for.
        std::uint64_t run = 0;
        if (!recordsAsked_.empty()) {
            run = recordsAsked_.front();
            recordsAsked_.pop_front();
        }
        tellRecord(run, o.recorded);
    }
    if (o.served && !o.served->refused.empty()) {
        // Every poll meets it again; the log and the user hear of it once a day.
        if (pollNotices_.tell(o.served->refused, services_.clock.now())) {
            log_->write(o.served->refused);
            warn(o.served->refused);
        }
    } else if (o.served) {
        log_->write("Bağlantı kesme isteği: kullanıcı " + o.served->user + ", proshut çıkış kodu " +
                    (o.served->exitCode ? std::to_string(*o.served->exitCode) : std::string("yok")));
    }
    // While the connection is down, the last reason why stays for a status query.
    if (o.connected)
        dbError_.clear();
    else if (!o.error.empty())
        dbError_ = o.error;
    if (dbConnected_ != o.connected) {
        dbConnected_ = o.connected;
        log_->write(o.connected
                        ? std::string("Veritabanı bağlantısı kuruldu")
                        : "Veritabanı bağlantısı yok" + (o.error.empty() ? std::string() : ": " + o.error));
    }
}

// ---- settings ----

void Machine::saveSettings() {
    tellSaveFailure(settings_->save(*settingsView_), settings_->path(), saveNotices_);
}

void Machine::saveExtraSettings() {
    tellSaveFailure(extraSettings_->save(*settingsView_), extraSettings_->path(), extraSaveNotices_);
}

// A failed save leaves the old file and the controls' values; the log hears of each one, the user
// once per cause until a save succeeds again.
void Machine::tellSaveFailure(const SaveResult& saved, const std::string& path, SaveFailureNotices& notices) {
    if (saved) notices.succeeded();
    if (saved.failure.empty()) return;
    const std::string text = saveFailureText(path, saved.failure);
    log_->write(text);
    if (notices.tell(saved.failure)) warn(text);
}

// ---- timers ----

std::array<ScheduleSlot, 3> Machine::schedule() const {
    std::array<ScheduleSlot, 3> slots;
    for (int k = 0; k < 3; ++k)
        slots[static_cast<std::size_t>(k)] = {panel_.switchValue(k), panel_.pickerTime(k)};
    return slots;
}

std::vector<std::string> Machine::targets() const {
    std::vector<std::string> all;
    for (int pair = 0; pair < kFolderPairs; ++pair) all.push_back(panel_.targetText(pair));
    return all;
}

// The clock, and the schedule: a slot whose switch is on fires once when its time comes up, also
// when this tick came late and the one before it was a second or more earlier.
void Machine::Timer2_Timer() {
    const LocalDateTime now = services_.clock.now();
    panel_.setCaption(Caption::lblTime, clockText(now, services_.locale.timeSeparator));
    const std::array<ScheduleSlot, 3> slots = schedule();
    // Ticks during a run are counted too: a slot due then is not made up afterwards.
    const int due = slotWatch_.tick(now, slots);
    if (missedRunTicks_ > 1) --missedRunTicks_;  // at 1 the missed run is due, and waits for a free moment
    // A slot the clock leapt over (the program stalled or slept) is a missed backup, told and made up.
    if (const int passed = firstDueSlot(slotWatch_.leapt(), slots); passed >= 0)
        tellMissedBackup(slots[static_cast<std::size_t>(passed)].time, newestArchiveTime(services_.files, targets(), now));
    if (++overdueTicks_ >= kOverdueCheckTicks && !backup_->running()) checkOverdue();
    // A database that never answers the record must not keep a failure out of the mailbox.
    if (runMail_ && std::abs(wallSecond(now) - wallSecond(runMailSince_)) >= kRunMailRecordWaitSeconds) {
        RunMailFacts facts = std::move(runMail_->second);
        runMail_.reset();
        facts.failed = true;
        facts.lines.push_back(stampedLine(now, "Yedekleme kaydı 5 dakikadır veritabanının yanıtını bekliyor"));
        runFinished(std::move(facts));
    }
    mailer_->tick();
    second_->tick([this] { return copyRequest(); });
    if (!panel_.copyEnabled() || backup_->running()) return;  // a run is in progress
    if (due < 0 && missedRunTicks_ != 1) return;

    nextRunTrigger_ = due >= 0 ? "zamanlama " + std::to_string(due + 1) + ", " +
                                     timeOfDayText(slots[static_cast<std::size_t>(due)].time, ":")
                               : std::string("açılışta kaçan yedekleme");
    missedRunTicks_ = 0;  // any run now makes up for the missed one
    host_.showForRun();
    cmdCopy_Click();
    host_.processPendingEvents();
    host_.hideAfterRun();
}

void Machine::Timer5_Timer() {
    checkDisconnect();
}

// ---- mail ----

std::optional<MailForm> Machine::mailForm() const {
    MailForm form{mailer_->settings(), !mailer_->settings().password.empty(), watch_->settings(), second_->settings(),
                  !second_->settings().secret.empty(), commandSettings_};
    form.values.password.clear();
    form.remote.secret.clear();
    return form;
}

MailDialogCalls Machine::mailDialogCalls() {
    return {[this](const MailForm& edited) { return saveMail(edited); },
            [this](const MailForm& edited, std::function<void(const std::string&)> answer) {
                testMail(edited, std::move(answer));
            },
            [this](const MailForm& edited, std::function<void(const std::string&)> answer) {
                testRemote(edited, std::move(answer));
            }};
}

std::string Machine::saveMail(const MailForm& edited) {
    MailSettings next = edited.values;
    if (const std::string problem = mailSettingsProblem(next); !problem.empty()) return problem;
    if (const std::string problem = watchSettingsProblem(edited.watch); !problem.empty()) return problem;
    RemoteSettings remote;
    if (const std::string problem = remoteEdit(edited, remote); !problem.empty()) return problem;
    // A command is judged as a run would judge it, so that the dialog says at once why it would not run.
    for (const std::string* line : {&edited.commands.before, &edited.commands.after})
        if (!line->empty())
            if (std::string refused = commandRefusal(*line, services_.commandWriters); !refused.empty()) return refused;
    if (next.user.empty()) {
        next.password.clear();
    } else if (next.password.empty() && !mailer_->settings().password.empty() &&
               !keptPasswordFits(mailer_->settings(), next)) {
        return std::string(kRetypePassword);
    } else if (next.password.empty()) {
        // The kept one; typed into the file by hand, it is protected now.
        next.password = mailer_->settings().password;
        if (next.password.rfind(kProtectedPrefix, 0) != 0)
            if (const std::optional<std::string> stored = protectPassword(next.password, services_.passwordScope))
                next.password = *stored;
    } else if (const std::optional<std::string> stored =
                   protectPassword(next.password, services_.passwordScope)) {
        next.password = *stored;
    } else {
        return "Parola korunarak saklanamadı";
    }
    const MailSettings before = mailer_->settings();
    const WatchSettings watchedBefore = watch_->settings();
    const RemoteSettings remoteBefore = second_->settings();
    const RunCommandSettings commandsBefore = commandSettings_;
    mailer_->setSettings(next);
    watch_->setSettings(edited.watch);
    if (remote != remoteBefore) second_->setSettings(remote);
    setCommands(edited.commands);
    const SaveResult saved = extraSettings_->save(*settingsView_);
    if (!saved) {
        mailer_->setSettings(before);
        watch_->setSettings(watchedBefore);
        if (remote != remoteBefore) second_->setSettings(remoteBefore);
        setCommands(commandsBefore);
        return saved.failure.empty() ? "Ayarlar henüz yüklenmedi" : saveFailureText(extraSettings_->path(), saved.failure);
    }
    if (next != before) log_->write("E-posta ayarları kaydedildi");
    if (edited.watch != watchedBefore) {
        log_->write("İzleme ayarları kaydedildi");
        writeMetrics();  // the new folder has its file at once
    }
    if (edited.commands != commandsBefore) log_->write("Komut ayarları kaydedildi");
    if (remote != remoteBefore) {
        log_->write("Uzak kopya ayarları kaydedildi");
        second_->passNow(copyRequest());
    }
    return {};
}

std::string Machine::remoteEdit(const MailForm& edited, RemoteSettings& next) const {
    next = edited.remote;
    if (next.kind == RemoteKind::None) return {};
    const RemoteSettings& stored = second_->settings();
    if (next.secret.empty() && !stored.secret.empty()) {
        // The kept secret goes only where it was kept for: whoever points the copies elsewhere types it again.
        if (next.kind != stored.kind || next.address != stored.address || next.user != stored.user ||
            next.bucket != stored.bucket)
            return "Tür, adres, kova ya da kullanıcı değişti: parolayı yeniden girin";
        next.secret = stored.secret;
    }
    if (const std::string problem = remoteSettingsProblem(next); !problem.empty()) return problem;
    if (!next.secret.empty() && next.secret.rfind(kProtectedPrefix, 0) != 0) {
        const std::optional<std::string> protectedSecret = protectPassword(next.secret, services_.passwordScope);
        if (!protectedSecret) return "Parola korunarak saklanamadı";
        next.secret = *protectedSecret;
    }
    return {};
}

void Machine::testRemote(const MailForm& edited, std::function<void(const std::string&)> answer) {
    RemoteSettings settings;
    if (const std::string problem = remoteEdit(edited, settings); !problem.empty())
        return answer("Denenemedi: " + problem);
    second_->trial(settings, std::move(answer));
}

CopyRequest Machine::copyRequest() const {
    CopyRequest request;
    for (int pair = 0; pair < kFolderPairs; ++pair) {
        const std::string source = panel_.sourceText(pair), target = panel_.targetText(pair);
        if (!source.empty() && isFolderText(source) && isFolderText(target)) request.pairs.push_back({pair, source, target});
    }
    request.keepHere = panel_.keepArchivesValue();
    request.keepThere = keepThere(second_->settings(), request.keepHere);
    return request;
}

void Machine::testMail(const MailForm& edited, std::function<void(const std::string&)> answer) {
    MailSettings settings = edited.values;
    if (const std::string problem = mailSettingsProblem(settings); !problem.empty())
        return answer("Gönderilemedi: " + problem);
    // An empty box with a password kept: the kept one, and only where it was kept for.
    if (!settings.user.empty() && settings.password.empty() && !mailer_->settings().password.empty()) {
        if (!keptPasswordFits(mailer_->settings(), settings))
            return answer("Gönderilemedi: " + std::string(kRetypePassword));
        const std::optional<std::string> kept = revealPassword(mailer_->settings().password);
        if (!kept) return answer("Gönderilemedi: kayıtlı parola okunamıyor; parolayı yeniden girin");
        settings.password = *kept;
    }
    mailer_->test(settings, std::move(answer));
}

MachineStatus Machine::status() const {
    MachineStatus s;
    s.lastBackup = panel_.caption(Caption::lblSon);
    s.lastOutcome = lastOutcome_;
    s.schedule = schedule();
    s.databaseConnected = dbConnected_;
    s.databaseError = dbError_;
    s.running = backup_->running();
    s.recentLog = recentLog_;
    s.lastRecorded = lastRecorded_;
    s.newestArchive = newestArchive_;
    s.laggingArchive = laggingArchive_;
    if (overdue_) s.overdue = overdueText(*overdue_);
    s.remoteCopies = second_->provenLines();
    s.remoteOverdue = second_->overdue(schedule());
    s.warnings = warningsOfTheDay();
    return s;
}

std::deque<HeldWarning> Machine::warningsOfTheDay() const {
    const LocalDateTime now = services_.clock.now();
    std::deque<HeldWarning> day;
    for (const HeldWarning& w : heldWarnings_)
        if (wallSecond(now) - wallSecond(w.at) <= kHeldWarningSeconds) day.push_back(w);
    return day;
}

}  // namespace zel
