#pragma once

#include <array>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/database_thread.h"
#include "engine/backup_run.h"
#include "engine/process_runner.h"
#include "engine/run_commands.h"
#include "engine/run_log.h"
#include "engine/shadow_stage.h"
#include "engine/schedule.h"
#include "mail/mailer.h"
#include "mail/ping.h"
#include "platform/files/file_system.h"
#include "platform/files/share_session.h"
#include "platform/processes/process.h"
#include "platform/security/password_vault.h"
#include "platform/system/clock.h"
#include "platform/system/locale_formats.h"
#include "platform/system/system_log.h"
#include "settings/settings_store.h"
#include "view/mail_form.h"
#include "view/panel_view.h"
#include "window/daily_notices.h"
#include "window/fleet_watch.h"
#include "window/second_copy.h"

namespace zel {

class ExtraSettingsStore;

// What the machine works with; tests hand in their own.
struct MachineServices {
    FileSystem& files;
    const Clock& clock;
    // The waits for the zip program: the host keeps its events flowing in them (the window's own
    // waits, alone).
    ProcessOps& windowProcesses;
    // Plain waits, for the shutdown utility on the database thread.
    ProcessOps& processes;
    LocaleFormats locale;
    std::string programFolder;  // the settings files and the run log live here
    ConnectionFactory connections;
    std::function<std::string()> computerName;
    // The service only, which runs with more rights than its windows' users: the zip program
    // installed with it, where only administrators write (alone: empty, zip.ex_ is copied under
    // the first source's drive and run), and who else may change the shutdown utility (alone:
    // unset, not asked).
    std::string ownZip = {};
    UntrustedWriters untrustedWriters = {};
    // Where every run's end and every warning also go, for administrators; none in tests.
    SystemLog* systemLog = nullptr;
    // What sends the mail the settings ask for; none: nothing is mailed.
    MailTransport* mail = nullptr;
    // Whose key protects the mail password on Windows.
    PasswordScope passwordScope = PasswordScope::User;
    // What sends a dead man's switch its pings; none: no ping goes out.
    PingSend ping = {};
    // Runs as the service, for the metrics' mode.
    bool service = false;
    // What reaches a Windows share as its own user; none: a share is reached as this process's user.
    ShareLogon shareLogon = {};
    // Who other than the administrators may change a program: a run's commands before and after
    // run only when nobody may, as the service and alone. None: no command runs.
    UntrustedWriters commandWriters = {};
    // The system's shadow copies, and whether this process may take them (the service, or started as
    // an administrator); none: sources are always read live.
    ShadowCopyOps* shadowCopies = nullptr;
    bool elevated = false;
};

inline constexpr std::string_view kProgramTitle = "ZEL Yedek";
inline constexpr std::chrono::milliseconds kRecordTimeAtEnd{3000};
// A shutdown utility still running after this is told about, once.
inline constexpr std::chrono::minutes kUtilityOverdue{5};
// Clock ticks from the start until a missed backup is made up.
inline constexpr int kMissedRunDelayTicks = 60;
// Lines of the run log kept for a status query.
inline constexpr std::size_t kRecentLogLines = 10;
// Warnings of the last day, at most this many, are held for a status query.
inline constexpr std::size_t kHeldWarningsMost = 50;
inline constexpr std::int64_t kHeldWarningSeconds = 24 * 3600;
// Clock ticks between two looks at whether backups have stopped (also after every run).
inline constexpr int kOverdueCheckTicks = 600;
// A run's mail waits this long for the database to answer its record, then goes without it.
inline constexpr std::int64_t kRunMailRecordWaitSeconds = 300;

// What the machine asks of whoever shows it: alone, the program's own window; as a service, the
// windows connected to it.
class MachineHost {
public:
    virtual ~MachineHost() = default;
    virtual void showTrayWarning(const std::string& title, const std::string& text) = 0;
    // The zip runner's question; a host with nobody to ask answers for them.
    virtual bool askYesNo(const std::string& text) = 0;
    // Handles every event waiting at this moment, once: a run lets the window and the channel
    // breathe between its steps.
    virtual void processPendingEvents() = 0;
    // Hands a call from any thread to the machine's thread.
    virtual void post(std::function<void()> call) = 0;
    // A scheduled run shows the window while it works and minimises it afterwards.
    virtual void showForRun() = 0;
    virtual void hideAfterRun() = 0;
    // Each line as it goes into the run log (without its date), for whoever follows the machine.
    virtual void logWritten(const std::string& /*line*/) {}
    // A run's end as the history sees it: recorded, or not and why; `run` counts the runs since the
    // start (Machine::runsStarted). Comes after the run itself, once the database has answered.
    virtual void runRecorded(std::uint64_t /*run*/, bool /*recorded*/, const std::string& /*text*/) {}
};

// What the window passes on to the machine, wherever that runs: in this process, or in the
// service at the other end of the channel.
class MachineLink {
public:
    virtual ~MachineLink() = default;
    // Start-up, before anything else (the database thread opens its connection).
    virtual void prepare() = 0;
    // Start-up once this copy is the one that stays: the machine loads and starts its timed work.
    virtual void start() = 0;
    virtual bool started() const = 0;
    // The window shows for the first time, with its icon in the tray.
    virtual void noticeMissedBackup() = 0;
    virtual void folderLeft(const FolderBox& box) = 0;
    virtual void switchClicked(int slot) = 0;
    virtual void timeChanged(int slot) = 0;
    virtual void keepChanged() = 0;
    virtual void missedChanged() = 0;
    virtual void cmdCopy_Click() = 0;
    // "İptal" during a run: the button becomes usable at once and the run starts no further pair.
    virtual void cancelRun() = 0;
    virtual void Timer2_Timer() = 0;
    virtual void Timer5_Timer() = 0;
    // The end of the session: logged with `text`, naming the pair whose zip was running.
    virtual void logEnd(const std::string& text) = 0;
    // A history record that is queued or being written gets up to kRecordTimeAtEnd to finish, and
    // mail still queued kMailTimeAtEnd; `beforeWaiting` runs only when there is such.
    virtual void letPendingRecordFinish(const std::function<void()>& beforeWaiting) = 0;
    // "Ayarlar...": the settings as the dialog shows them; nothing when this user may not see them.
    virtual std::optional<MailForm> mailForm() const = 0;
    virtual MailDialogCalls mailDialogCalls() = 0;
};

// A warning as the machine said it.
struct HeldWarning {
    LocalDateTime at;
    std::string text;
    friend bool operator==(const HeldWarning&, const HeldWarning&) = default;
};

// The machine's state as an administrator asks for it from a shell.
struct MachineStatus {
    std::string lastBackup;   // lblSon
    std::string lastOutcome;  // the last run's record line; empty before the first run
    std::array<ScheduleSlot, 3> schedule{};
    std::optional<bool> databaseConnected;
    std::string databaseError;
    bool running = false;
    std::deque<std::string> recentLog;  // the last kRecentLogLines lines, oldest first
    std::optional<bool> lastRecorded;   // the last run's record; nothing before the first run
    std::optional<LocalDateTime> newestArchive;  // the newest verified archive, at the last look
    // The newest archive of the used pair that is furthest behind; nothing while a used pair has none.
    std::optional<LocalDateTime> laggingArchive;
    std::optional<std::string> overdue;          // the overdue alarm's text while it holds
    std::vector<std::string> remoteCopies;       // per pair, the last copy proven at the second place
    std::optional<std::string> remoteOverdue;    // the second place's alarm while it holds
    std::deque<HeldWarning> warnings;            // the last day's, oldest first
};

// The half of the program that works whether or not anybody looks: the settings files, the
// schedule, the backup runs, the history record, the disconnect service and the run log. The
// window (alone) or the service's channel calls its handlers; it reads and writes the values
// through a PanelView and reaches the user only through its host.
class Machine final : public MachineLink {
public:
    Machine(MachineServices services, PanelView& panel, MachineHost& host);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    void prepare() override;
    // The request table, then both settings files.
    void start() override;
    bool started() const override { return live_; }
    // A backup missed while the program was not running is told, and made up a minute later
    // when chkKacan says so.
    void noticeMissedBackup() override;
    // Each settings control saves the whole file it belongs to.
    void folderLeft(const FolderBox&) override { saveSettings(); }
    void switchClicked(int) override { saveSettings(); }
    void timeChanged(int) override { saveSettings(); }
    void keepChanged() override { saveExtraSettings(); }
    void missedChanged() override { saveExtraSettings(); }
    void cmdCopy_Click() override;
    void cancelRun() override;
    void Timer2_Timer() override;
    void Timer5_Timer() override;
    void logEnd(const std::string& text) override;
    // The run log says whether each record was written, and which mail was not sent; the metrics
    // file says the program has ended.
    void letPendingRecordFinish(const std::function<void()>& beforeWaiting) override;
    std::optional<MailForm> mailForm() const override;
    MailDialogCalls mailDialogCalls() override;
    // The dialog's "Tamam": saved, or why not.
    std::string saveMail(const MailForm& edited);
    // "Deneme gönder" with the dialog's values; the answer comes on the machine's thread.
    void testMail(const MailForm& edited, std::function<void(const std::string&)> answer);
    // The second place's "Deneme" with the dialog's values, the same way.
    void testRemote(const MailForm& edited, std::function<void(const std::string&)> answer);

    void saveSettings();
    void saveExtraSettings();

    // A line of the machine's own into the run log (the service's start and end, its channel).
    void log(const std::string& text) { log_->write(text); }
    MachineStatus status() const;
    bool running() const { return backup_->running(); }
    // Runs started since the program started; the one in progress, or the last, is this number.
    std::uint64_t runsStarted() const { return runsStarted_; }
    // Who starts the next run, for the log: a slot, the button, a command.
    void setNextRunTrigger(std::string trigger) { nextRunTrigger_ = std::move(trigger); }
    // The next run deletes no old archive (a watcher's: pressing "Yedekle" N times would
    // otherwise age out every earlier one). Retention runs again at the next slot or manager's run.
    void keepEveryArchiveInNextRun() { nextRunKeepsAll_ = true; }

    const std::string& archiveName() const { return backup_->archiveName(); }
    bool settingsLoaded() const { return settings_->loaded(); }
    bool cancelRequested() const { return backup_->cancelRequested(); }

private:
    class View;
    class SettingsView;
    class RunReporter;

    void updateBackupDate();
    void checkDisconnect();
    void tellRecord(std::uint64_t run, bool recorded);
    void runEnded(std::uint64_t run, bool recorded, const std::string& text);
    void checkOverdue(bool tell = true);
    // A run's end, once its record is known or waited for long enough: its mail and its ping.
    void runFinished(RunMailFacts facts);
    void writeMetrics();
    // What the second place is owed from: the used pairs and both retentions.
    CopyRequest copyRequest() const;
    // The settings of the second place the dialog sends, its secret kept or protected; why not.
    std::string remoteEdit(const MailForm& edited, RemoteSettings& next) const;
    // The held warnings not older than kHeldWarningSeconds, oldest first.
    std::deque<HeldWarning> warningsOfTheDay() const;
    void toSystemLog(SystemEvent event, const std::string& text);
    // The commands before and after a run, from the next run on.
    void setCommands(const RunCommandSettings& commands);
    void tellSaveFailure(const SaveResult& saved, const std::string& path, SaveFailureNotices& notices);
    void reportDatabase(const DbOutcome& outcome);
    // `mail`: false for a warning no mail should carry (a mail that failed).
    void warn(const std::string& text, bool mail = true);
    std::array<ScheduleSlot, 3> schedule() const;
    std::vector<std::string> targets() const;
    // A slot that came due without a run: warned about, and made up when the window says so.
    void tellMissedBackup(const TimeOfDay& slot, const std::optional<LocalDateTime>& newest);

    MachineServices services_;
    PanelView& panel_;
    MachineHost& host_;
    std::deque<std::string> recentLog_;
    std::unique_ptr<ProcessRunner> runner_;
    std::unique_ptr<View> backupView_;
    std::unique_ptr<RunLog> log_;
    std::unique_ptr<RunReporter> reporter_;
    std::unique_ptr<Mailer> mailer_;
    std::unique_ptr<FleetWatch> watch_;
    std::unique_ptr<SecondCopy> second_;
    bool collectingRun_ = false;            // a run's log lines are kept for its mail
    std::vector<std::string> runLines_;     // the run's log lines so far
    std::vector<std::string> runWarnings_;  // what the run warned about, for its mail
    std::optional<std::pair<std::uint64_t, RunMailFacts>> runMail_;  // an ended run awaiting its record
    LocalDateTime runMailSince_;                                      // ... since its end
    std::unique_ptr<BackupRun> backup_;
    RunCommandSettings commandSettings_;  // as loaded or saved
    std::unique_ptr<RunCommands> commands_;
    std::unique_ptr<ShadowStage> shadow_;
    std::unique_ptr<StagesInOrder> stages_;  // the commands, then the snapshot
    std::unique_ptr<SettingsView> settingsView_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<ExtraSettingsStore> extraSettings_;
    bool live_ = false;
    int missedRunTicks_ = 0;  // counts clock ticks down to a missed backup's run; 0: none
    SlotWatch slotWatch_;
    DailyNotices pollNotices_;  // a shutdown utility that may not run
    DailyNotices overdueNotices_;
    int overdueTicks_ = 0;                  // counts clock ticks up to kOverdueCheckTicks
    LocalDateTime startedAt_;               // with no archive at all, backups are overdue from here
    std::optional<LocalDateTime> newestArchive_;
    std::optional<LocalDateTime> laggingArchive_;
    std::optional<Overdue> overdue_;
    std::deque<HeldWarning> heldWarnings_;
    std::optional<bool> lastRecorded_;
    std::uint64_t lastRecordedRun_ = 0;
    std::pair<std::uint64_t, std::vector<std::string>> runFailures_;  // a run's failed pairs' lines
    SaveFailureNotices saveNotices_;
    SaveFailureNotices extraSaveNotices_;  // each file's causes are told on their own
    bool nextRunKeepsAll_ = false;
    std::string nextRunTrigger_;           // what starts the next run, for the log: a slot or the button
    std::optional<bool> dbConnected_;      // as last logged
    std::string dbError_;
    std::string lastOutcome_;
    bool inRun_ = false;
    std::uint64_t runsStarted_ = 0;
    std::deque<std::uint64_t> recordsAsked_;  // the run of each record the database has yet to answer
    std::optional<std::pair<bool, std::string>> recordDuringRun_;
    std::unique_ptr<DatabaseThread> db_;  // last: its outcomes come back to everything above
};

}  // namespace zel
