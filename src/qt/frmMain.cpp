#include "qt/frmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QPalette>
#include <QShowEvent>
#include <algorithm>
#include <limits>
#include <utility>

#include "engine/date_text.h"
#include "settings/settings_format.h"
#include "qt/app_icon.h"
#include "qt/switch_box.h"
#include "qt/toolkit.h"
#include "qt/tray_messages.h"

namespace zel {

// The run's view of the window: the folder boxes, the two buttons and the last-backup label.
class frmMain::View final : public BackupView {
public:
    explicit View(frmMain& w) : w_(w) {}
    std::string sourceFolder(int pair) const override { return w_.txtKaynak[pair]->text().toStdString(); }
    std::string targetFolder(int pair) const override { return w_.txtHedef[pair]->text().toStdString(); }
    void setCopyEnabled(bool enabled) override { w_.cmdCopy->setEnabled(enabled); }
    void setExitCaption(const std::string& caption) override {
        w_.cmdExit->setText(QString::fromStdString(caption));
    }
    void setLastBackupText(const std::string& text) override {
        w_.lblSon->setText(QString::fromStdString(text));
    }

private:
    frmMain& w_;
};

// Loading and saving read and write the controls through this.
class frmMain::SettingsView final : public SettingsControls {
public:
    explicit SettingsView(frmMain& w) : w_(w) {}
    void setSource(int pair, const std::string& text) override {
        w_.txtKaynak[pair]->setText(QString::fromStdString(text));
    }
    void setTarget(int pair, const std::string& text) override {
        w_.txtHedef[pair]->setText(QString::fromStdString(text));
    }
    bool setSwitch(int slot, int value) override { return setCheckValue(*w_.slotSwitch(slot), value); }
    void setTime(int slot, const TimeOfDay& t) override {
        w_.slotPicker(slot)->setTime(QTime(t.hour, t.minute, t.second));
    }
    Settings current() const override {
        Settings s;
        for (int i = 0; i < 4; ++i) {
            s.sources[i] = w_.txtKaynak[i]->text().toStdString();
            s.targets[i] = w_.txtHedef[i]->text().toStdString();
        }
        for (int k = 0; k < 3; ++k) {
            s.switches[k] = checkValue(*w_.slotSwitch(k));
            QTime t = w_.slotPicker(k)->time();
            s.times[k] = {t.hour(), t.minute(), t.second()};
        }
        return s;
    }

private:
    frmMain& w_;
};

// Writes each pair's outcome into the run log and keeps the first failure of a run for its warning.
class frmMain::RunReporter final : public BackupObserver {
public:
    explicit RunReporter(RunLog& log) : log_(log) {}
    void begin() { firstFailure_.reset(); }
    const std::optional<PairOutcome>& firstFailure() const { return firstFailure_; }

    void zipNotCopied(const std::string& from, const std::string& to) override {
        log_.write("zip programı kopyalanamadı: " + from + " -> " + to);
    }
    void pairDone(const PairOutcome& outcome) override {
        log_.write(pairLogText(outcome));
        if (pairFailed(outcome) && !firstFailure_) firstFailure_ = outcome;
    }

private:
    RunLog& log_;
    std::optional<PairOutcome> firstFailure_;
};

namespace {

QFont makeFont(const char* family, double points, bool bold = false, bool italic = false) {
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

const QString kTimeFormat = QStringLiteral("HH:mm:ss");

void keepFolderText(QLineEdit* box) {
    QObject::connect(box, &QLineEdit::textEdited, box, [box](const QString& text) {
        const QString kept = QString::fromStdString(folderBoxText(text.toStdString()));
        if (kept == text) return;
        const int cursor = box->cursorPosition() - static_cast<int>(text.size() - kept.size());
        box->setText(kept);
        box->setCursorPosition(std::max(0, cursor));
    });
}

constexpr double kTwipsPerPixel = 15.0;

}  // namespace

frmMain::frmMain(FrmMainServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ZEL Yedek"));
    setWindowIcon(appIcon());
    // Fixed border: 11295 x 4335 twips of client area.
    setFixedSize(753, 289);
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 255));
    setPalette(pal);
    setAutoFillBackground(true);

    buildControls();
    buildMenu();
    buildTimers();

    waitOps_ = std::make_unique<EventWaitProcessOps>(services_.processes);
    RunnerHooks hooks;
    hooks.processEvents = [] { processPendingEvents(); };
    hooks.askContinue = [this](std::string_view text) {
        return messageBox(this, QString::fromUtf8(text.data(), static_cast<int>(text.size())),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::NoIcon, QMessageBox::Yes,
                          QCoreApplication::applicationName()) == QMessageBox::Yes;
    };
    runner_ = std::make_unique<ProcessRunner>(*waitOps_, std::move(hooks));
    view_ = std::make_unique<View>(*this);
    log_ = std::make_unique<RunLog>(services_.files, services_.clock,
                                    services_.programFolder + "\\" + std::string(kRunLogName));
    reporter_ = std::make_unique<RunReporter>(*log_);
    backup_ = std::make_unique<BackupRun>(
        *view_, services_.files, services_.clock, *runner_, services_.locale, [this] { updateBackupDate(); },
        reporter_.get());
    db_ = std::make_unique<DatabaseThread>(
        DatabaseThread::Parts{services_.connections, services_.files, services_.clock, services_.locale,
                              services_.computerName, services_.processes},
        postToThread(this), [this](const DbOutcome& outcome) { reportDatabase(outcome); });
    settingsView_ = std::make_unique<SettingsView>(*this);
    settings_ = std::make_unique<SettingsStore>(services_.files, settingsPath(services_.programFolder),
                                                services_.locale);
    connectEvents();
}

frmMain::~frmMain() {
    // Children lose the focus while QWidget tears them down; by then this is no frmMain any more.
    kaynakFocus_->disconnect(this);
    hedefFocus_->disconnect(this);
}

void frmMain::buildControls() {
    const QFont boxFont = makeFont("MS Sans Serif", 9.75, true);
    const QFont captionFont = makeFont("Arial", 12);
    static const char* const kLabel1[6] = {
        "Kaynak I:", "Kaynak III:", "Hedef I:", "Hedef II:", "Hedef III:", "Hedef IV:"};
    static const char* const kLabel4[2] = {"Kaynak II", "Kaynak IV"};
    for (int i = 0; i < 6; ++i) {
        Label1[i] = new QLabel(QString::fromLatin1(kLabel1[i]), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setFont(captionFont);
    }
    for (int i = 0; i < 2; ++i) {
        Label4[i] = new QLabel(QString::fromLatin1(kLabel4[i]), this);
        Label4[i]->setObjectName(QStringLiteral("Label4_%1").arg(i));
        Label4[i]->setFont(captionFont);
    }
    // Row captions: source I..IV, target I..IV.
    QLabel* sourceCaption[4] = {Label1[0], Label4[0], Label1[1], Label4[1]};
    QLabel* targetCaption[4] = {Label1[2], Label1[3], Label1[4], Label1[5]};

    for (int i = 0; i < 4; ++i) {
        const int y = 8 + i * 34;
        txtKaynak[i] = new QLineEdit(QStringLiteral("c:\\brevund"), this);
        txtKaynak[i]->setObjectName(QStringLiteral("txtKaynak_%1").arg(i));
        txtHedef[i] = new QLineEdit(QStringLiteral("c:\\tarvel-yedek"), this);
        txtHedef[i]->setObjectName(QStringLiteral("txtHedef_%1").arg(i));
        for (QLineEdit* box : {txtKaynak[i], txtHedef[i]}) {
            box->setFont(boxFont);
            // A folder line may be as long as the file holds; Qt's default cap would cut it.
            box->setMaxLength(std::numeric_limits<int>::max());
        }
        sourceCaption[i]->setGeometry(8, y, 92, 26);
        txtKaynak[i]->setGeometry(100, y, 305, 26);  // 4575 twips
        targetCaption[i]->setGeometry(414, y, 82, 26);
        txtHedef[i]->setGeometry(498, y, 225, 26);  // 3375 twips
    }

    const QFont slotFont = makeFont("Arial", 12);
    const QFont pickerFont = makeFont("Verdana", 24);
    QCheckBox** checks[3] = {&chkYedek1, &chkYedek2, &chkYedek3};
    QTimeEdit** pickers[3] = {&dtYedek1, &dtyedek2, &dtYedek3};
    static const char* const kPickerNames[3] = {"dtYedek1", "dtyedek2", "dtYedek3"};
    for (int k = 0; k < 3; ++k) {
        const int x = 8 + k * 162;
        auto* check = new SwitchBox(QStringLiteral("Yedek - %1").arg(k + 1), this);
        check->setObjectName(QStringLiteral("chkYedek%1").arg(k + 1));
        check->setTristate(true);
        check->setCheckState(Qt::Unchecked);
        check->setFont(slotFont);
        check->setGeometry(x, 146, 156, 26);
        *checks[k] = check;

        auto* picker = new QTimeEdit(this);
        picker->setObjectName(QString::fromLatin1(kPickerNames[k]));
        picker->setDisplayFormat(kTimeFormat);
        picker->setTime(QTime(0, 0, 0));
        picker->setToolTip(QStringLiteral("Otomatik Yedekleme Zaman\u0131"));
        picker->setFont(pickerFont);
        // At 24 points three pickers with spin arrows would not fit the row; the keyboard, the
        // wheel and typing still change every section.
        picker->setButtonSymbols(QAbstractSpinBox::NoButtons);
        picker->setAlignment(Qt::AlignCenter);
        picker->setGeometry(x, 174, 156, 48);
        *pickers[k] = picker;
    }

    cmdCopy = new QPushButton(QStringLiteral("Yedekle"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setFont(makeFont("Arial", 24));
    cmdCopy->setGeometry(498, 146, 225, 50);
    cmdExit = new QPushButton(QStringLiteral("Gizle"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setFont(makeFont("Arial", 24, false, true));
    cmdExit->setGeometry(498, 200, 225, 50);

    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setFont(makeFont("Arial", 14.25));
    lblInfo->setGeometry(8, 254, 300, 30);
    lblTime = new QLabel(this);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblTime->setFont(makeFont("Arial", 14.25));
    lblTime->setGeometry(320, 254, 170, 30);
    // Below the client area (6360 twips down), so its text is not visible at the window's size.
    lblSon = new QLabel(this);
    lblSon->setObjectName(QStringLiteral("lblSon"));
    lblSon->setFont(makeFont("Tahoma", 9.75, true));
    QPalette sonPal = lblSon->palette();
    sonPal.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblSon->setPalette(sonPal);
    lblSon->setGeometry(8, 424, 400, 40);

    // Tab order: the first pair and the schedule come before the other three pairs.
    QWidget* order[] = {txtKaynak[0], txtHedef[0], chkYedek1,    dtYedek1,   chkYedek2,    dtyedek2,
                        chkYedek3,    dtYedek3,    cmdCopy,      cmdExit,    txtKaynak[1], txtHedef[1],
                        txtKaynak[2], txtHedef[2], txtKaynak[3], txtHedef[3]};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
    for (QLabel* l : {lblInfo, lblTime, lblSon}) l->setFocusPolicy(Qt::NoFocus);
}

void frmMain::buildMenu() {
    // Never shown as a menu bar: it only pops up from the tray icon.
    mnuSystray = new QMenu(QStringLiteral("System Tray Popup"), this);
    mnuSystray->setObjectName(QStringLiteral("mnuSystray"));
    mnuRestore = mnuSystray->addAction(QStringLiteral("&ZEL Yedek"));
    mnuRestore->setObjectName(QStringLiteral("mnuRestore"));
    mnuSeparator = mnuSystray->addSeparator();
    mnuSeparator->setObjectName(QStringLiteral("mnuSeparator"));
    mnuExit = mnuSystray->addAction(QStringLiteral("&Kapat"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
}

void frmMain::buildTimers() {
    Timer1 = new IntervalTimer(0, this);
    Timer2 = new IntervalTimer(1000, this);
    Timer2->setSecondAligned(true);  // drift must never skip the second a slot is due in
    Timer3 = new IntervalTimer(0, this);
    Timer4 = new IntervalTimer(30000, this);
    Timer5 = new IntervalTimer(10000, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    Timer5->setObjectName(QStringLiteral("Timer5"));
}

void frmMain::connectEvents() {
    connect(chkYedek1, &QCheckBox::stateChanged, this, [this] { chkYedek1_Click(); });
    connect(chkYedek2, &QCheckBox::stateChanged, this, [this] { chkYedek2_Click(); });
    connect(chkYedek3, &QCheckBox::stateChanged, this, [this] { chkYedek3_Click(); });
    connect(dtYedek1, &QTimeEdit::timeChanged, this, [this] { dtYedek1_Change(); });
    connect(dtyedek2, &QTimeEdit::timeChanged, this, [this] { dtyedek2_Change(); });
    connect(dtYedek3, &QTimeEdit::timeChanged, this, [this] { dtYedek3_Change(); });

    // A line break typed or pasted into a folder box would never reach the file anyway; the box
    // shows what will be kept.
    for (QLineEdit* box : txtKaynak) keepFolderText(box);
    for (QLineEdit* box : txtHedef) keepFolderText(box);

    kaynakFocus_ = new FocusOutFilter(this);
    hedefFocus_ = new FocusOutFilter(this);
    for (int i = 0; i < 4; ++i) {
        kaynakFocus_->watch(txtKaynak[i], i);
        hedefFocus_->watch(txtHedef[i], i);
    }
    connect(kaynakFocus_, &FocusOutFilter::lostFocus, this, &frmMain::txtKaynak_LostFocus);
    connect(hedefFocus_, &FocusOutFilter::lostFocus, this, &frmMain::txtHedef_LostFocus);

    connect(cmdCopy, &QPushButton::clicked, this, [this] { cmdCopy_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(mnuRestore, &QAction::triggered, this, [this] { mnuRestore_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });

    // Qt reports tray messages in pixels of a 15-twips-per-pixel screen, as the shell would.
    connect(&services_.tray, &Tray::message, this,
            [this](int number) { Form_MouseMove(0, 0, number * kTwipsPerPixel, 0); });

    connect(Timer3, &IntervalTimer::tick, this, &frmMain::Timer3_Timer);
}

void frmMain::connectTimers() {
    connect(Timer2, &IntervalTimer::tick, this, &frmMain::Timer2_Timer, Qt::UniqueConnection);
    connect(Timer4, &IntervalTimer::tick, this, &frmMain::Timer4_Timer, Qt::UniqueConnection);
    connect(Timer5, &IntervalTimer::tick, this, &frmMain::Timer5_Timer, Qt::UniqueConnection);
}

// ---- window state, activation, close ----

void frmMain::setWindowStateValue(int state) {
    windowStateValue_ = state == 1 ? 1 : 0;
    if (windowStateValue_ == 0 && isMinimized()) showNormal();
    Form_Resize();
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!activated_ && !event->spontaneous()) {
        activated_ = true;
        Form_Activate();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0) {
        event->ignore();
    } else {
        event->accept();
    }
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A minimise made through the window manager takes the same path as the program's own.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && windowStateValue_ != 1) {
        setWindowStateValue(1);
    }
}

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
    loadSettings();
    // Only the copy that stays does timed work: a copy that gives way must never back up, poll
    // or rewrite the settings while its message is open.
    connectTimers();
}

// The copy that came second says so, asks the running one to show its window, and ends. It
// never touches the request table, the settings file or the tray.
void frmMain::giveWayToTheRunningCopy() {
    messageBox(this, QStringLiteral("Program zaten \u00e7al\u0131\u015f\u0131yor!"), QMessageBox::Ok,
               QMessageBox::Warning, QMessageBox::Ok, QString());
    setWindowTitle(QStringLiteral("()*!@#(*"));
    try {
        services_.instance.askRunningCopyToShow();
    } catch (...) {
    }
    close();  // refused, as every close request is
    services_.endProgram();
}

void frmMain::loadSettings() {
    settings_->load(*settingsView_);
}

void frmMain::Form_Activate() {
    addTrayIcon();
    Timer3->setInterval(1000);  // hides the window one second from now
}

// A minimised window is always hidden: everything that wants the window out of sight minimises it.
void frmMain::Form_Resize() {
    ++counts_.formResize;
    if (windowStateValue_ == 1) hide();
}

void frmMain::Form_Unload(int& cancel) {
    setWindowStateValue(1);
    cancel = 1;  // closing never ends the program
}

void frmMain::Form_MouseMove(int /*button*/, int /*shift*/, double x, double /*y*/) {
    switch (trayActionFor(trayMessageFromX(x, false, kTwipsPerPixel))) {
        case TrayAction::RestoreWindow:
            restoreWindow();
            break;
        case TrayAction::PopUpMenu:
            bringToFront();
            services_.tray.popUp(*mnuSystray);
            break;
        case TrayAction::None:
            break;
    }
}

void frmMain::restoreWindow() {
    setWindowStateValue(0);
    bringToFront();
    show();
}

void frmMain::bringToFront() {
    raise();
    activateWindow();
}

void frmMain::addTrayIcon() {
    try {
        services_.tray.addIcon();
    } catch (...) {
        // a failed add waits for the next re-add
    }
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
        services_.tray.showWarning(windowTitle(), QString::fromStdString(failureWarningText(*failure)));
}

// The run log hears what the database thread did: each history record, each request served,
// and each loss and return of the connection once.
void frmMain::reportDatabase(const DbOutcome& o) {
    using Step = DbOutcome::Step;
    if (o.step == Step::Record) {
        if (o.recorded)
            log_->write("Yedekleme kaydı veritabanına yazıldı");
        else if (!o.error.empty())
            log_->write("Yedekleme kaydı yazılamadı: " + o.error);
        else
            log_->write("Yedekleme kaydı yazılmadı: sağlam bir arşiv yok");
    }
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

void frmMain::updateBackupDate() {
    db_->record(backup_->builtArchivePath());
}

void frmMain::checkFirst() {
    db_->checkFirst();
}

void frmMain::checkDisconnect() {
    lblInfo->setText(
        QString::fromStdString(statusText(services_.clock.now(), services_.locale.timeSeparator)));
    // Skipped while the previous poll still waits for the utility with this very request.
    db_->poll(txtKaynak[0]->text().toStdString());
}

void frmMain::cmdExit_Click() {
    if (cmdExit->text() == QStringLiteral("Gizle")) {
        setWindowStateValue(1);
        return;
    }
    // "İptal" during a run: the button becomes usable at once and the run starts no further pair.
    cmdCopy->setEnabled(true);
    cmdExit->setText(QStringLiteral("Gizle"));
    backup_->requestCancel();
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
    ++counts_.lostFocusKaynak;
    saveSettings();
}
void frmMain::txtHedef_LostFocus(int /*index*/) {
    ++counts_.lostFocusHedef;
    saveSettings();
}

void frmMain::saveSettings() {
    ++counts_.saveSettings;
    settings_->save(*settingsView_);  // a failed save leaves the old file; the controls keep their values
}

// ---- tray menu and timers ----

void frmMain::mnuRestore_Click() {
    restoreWindow();
}

void frmMain::mnuExit_Click() {
    services_.tray.deleteIcon();
    services_.endProgram();  // also in the middle of a run: its zip keeps running
}
// The clock, and the schedule: a slot whose switch is on fires once when its time comes up, also
// when this tick came late and the one before it was a second or more earlier.
void frmMain::Timer2_Timer() {
    const LocalDateTime now = services_.clock.now();
    lblTime->setText(QString::fromStdString(clockText(now, services_.locale.timeSeparator)));

    std::array<ScheduleSlot, 3> schedule;
    for (int k = 0; k < 3; ++k) {
        const QTime t = slotPicker(k)->time();
        schedule[k] = {checkValue(*slotSwitch(k)), {t.hour(), t.minute(), t.second()}};
    }
    // Ticks during a run are counted too: a slot due then is not made up afterwards.
    const int due = slotWatch_.tick(now, schedule);
    if (!cmdCopy->isEnabled() || backup_->running()) return;  // a run is in progress
    if (due < 0) return;

    nextRunTrigger_ = "zamanlama " + std::to_string(due + 1) + ", " + timeOfDayText(schedule[due].time, ":");
    restoreWindow();
    cmdCopy_Click();
    processPendingEvents();
    setWindowStateValue(1);
}
void frmMain::Timer3_Timer() {
    setWindowStateValue(1);
    Timer3->setInterval(0);
}

// Re-adds the icon about 30 s, 1, 2, 7 and 22 minutes after start, for a tray that came late.
void frmMain::Timer4_Timer() {
    ++trayAddCount;
    addTrayIcon();
    switch (trayAddCount) {
        case 1:
            break;
        case 2:
            Timer4->setInterval(60000);
            break;
        case 3:
            Timer4->setInterval(300000);
            break;
        case 4:
            Timer4->setInterval(900000);
            break;
        default:
            Timer4->setInterval(0);
            break;
    }
}
void frmMain::Timer5_Timer() {
    checkDisconnect();
}

}  // namespace zel
