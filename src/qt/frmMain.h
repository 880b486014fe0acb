#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimeEdit>
#include <QWidget>
#include <array>
#include <memory>

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
#include "qt/event_wait_ops.h"
#include "qt/focus_out_filter.h"
#include "qt/interval_timer.h"
#include "qt/tray.h"

namespace zel {

// What the window works with: tests hand in their own files, clock and processes.
struct FrmMainServices {
    FileSystem& files;
    const Clock& clock;
    ProcessOps& processes;
    LocaleFormats locale;
    std::string programFolder;  // the settings file lives here
    Tray& tray;
    // Ends the process at once; tests put a recorder here.
    std::function<void()> endProgram;
    // Makes a new, unopened database connection.
    ConnectionFactory connections;
    std::function<std::string()> computerName;
    // Whether another copy runs already, and how to ask it to show itself.
    SingleInstance& instance;
};

// The program's one window. It is a switchboard: controls, timers and menus under their
// well-known names, and short handlers that pass the work on to the rules and services.
class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(FrmMainServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    // Controls.
    std::array<QLineEdit*, 4> txtKaynak{};
    std::array<QLineEdit*, 4> txtHedef{};
    std::array<QLabel*, 6> Label1{};
    std::array<QLabel*, 2> Label4{};
    QCheckBox* chkYedek1 = nullptr;
    QCheckBox* chkYedek2 = nullptr;
    QCheckBox* chkYedek3 = nullptr;
    QTimeEdit* dtYedek1 = nullptr;
    QTimeEdit* dtyedek2 = nullptr;
    QTimeEdit* dtYedek3 = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblSon = nullptr;
    IntervalTimer* Timer1 = nullptr;
    IntervalTimer* Timer2 = nullptr;
    IntervalTimer* Timer3 = nullptr;
    IntervalTimer* Timer4 = nullptr;
    IntervalTimer* Timer5 = nullptr;
    QMenu* mnuSystray = nullptr;
    QAction* mnuRestore = nullptr;
    QAction* mnuSeparator = nullptr;
    QAction* mnuExit = nullptr;

    // Window state: 0 normal, 1 minimised. Setting it runs Form_Resize before it returns.
    int windowStateValue() const { return windowStateValue_; }
    void setWindowStateValue(int state);

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    // The tray's mouse messages arrive as mouse moves whose X carries the message number.
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
    void mnuRestore_Click();
    void mnuExit_Click();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();

    void saveSettings();
    // The database steps are handed to the database thread and return at once.
    void updateBackupDate();
    void checkFirst();
    void checkDisconnect();

    // Slot k (0..2): its switch and its picker.
    QCheckBox* slotSwitch(int k) const { return std::array{chkYedek1, chkYedek2, chkYedek3}[k]; }
    QTimeEdit* slotPicker(int k) const { return std::array{dtYedek1, dtyedek2, dtYedek3}[k]; }

    // State shared with the other parts of the program.
    const std::string& archiveName() const { return backup_->archiveName(); }
    BackupRun& backupRun() { return *backup_; }
    const ProcessRunner& runner() const { return *runner_; }
    const LocaleFormats& locale() const { return services_.locale; }
    bool settingsLoaded() const { return settings_->loaded(); }
    // Fills the controls from the settings file.
    void loadSettings();
    bool cancelRequested() const { return backup_->cancelRequested(); }

    short trayAddCount = 0;

    // Counts of handler calls, for tests of the event wiring.
    struct HandlerCounts {
        int formResize = 0;
        int saveSettings = 0;
        int lostFocusKaynak = 0;
        int lostFocusHedef = 0;
    };
    const HandlerCounts& handlerCounts() const { return counts_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class View;
    class SettingsView;
    class RunReporter;

    void buildControls();
    void buildMenu();
    void buildTimers();
    void connectEvents();
    void connectTimers();
    void giveWayToTheRunningCopy();
    void reportDatabase(const DbOutcome& outcome);
    void addTrayIcon();
    void bringToFront();

    FrmMainServices services_;
    std::unique_ptr<EventWaitProcessOps> waitOps_;
    std::unique_ptr<ProcessRunner> runner_;
    std::unique_ptr<View> view_;
    std::unique_ptr<RunLog> log_;
    std::unique_ptr<RunReporter> reporter_;
    std::unique_ptr<BackupRun> backup_;
    std::unique_ptr<DatabaseThread> db_;
    std::unique_ptr<SettingsView> settingsView_;
    std::unique_ptr<SettingsStore> settings_;
    FocusOutFilter* kaynakFocus_ = nullptr;
    FocusOutFilter* hedefFocus_ = nullptr;
    int windowStateValue_ = 0;
    SlotWatch slotWatch_;
    std::string nextRunTrigger_;       // what starts the next run, for the log: a slot or the button
    std::optional<bool> dbConnected_;  // as last logged
    bool activated_ = false;
    HandlerCounts counts_;
};

}  // namespace zel
