#include "qt/qt_front_end.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QShowEvent>
#include <algorithm>
#include <limits>

#include "qt/app_icon.h"
#include "qt/mail_dialog.h"
#include "qt/switch_box.h"
#include "qt/toolkit.h"
#include "settings/extra_settings.h"
#include "settings/settings_format.h"
#include "window/frmMain.h"
#include "window/tray_messages.h"

namespace zel {

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

}  // namespace

QtFrontEnd::QtFrontEnd(Tray& tray, std::function<void()> endProgram, QWidget* parent)
    : QWidget(parent), tray_(tray), endProgram_(std::move(endProgram)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ZEL Yedek"));
    setWindowIcon(appIcon());
    // Fixed border: 11295 x 4335 twips of client area, and one row below them for the extra
    // settings.
    setFixedSize(753, 289 + 34);
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 255));
    setPalette(pal);
    setAutoFillBackground(true);

    buildControls();
    buildMenu();
    buildTimers();
    // A line break typed or pasted into a folder box would never reach the file anyway; the box
    // shows what will be kept.
    for (QLineEdit* box : txtKaynak) keepFolderText(box);
    for (QLineEdit* box : txtHedef) keepFolderText(box);
}

QtFrontEnd::~QtFrontEnd() {
    // Children lose the focus while QWidget tears them down: frmMain must not hear of it.
    detach();
}

void QtFrontEnd::buildControls() {
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

    // The extra settings' row, below everything the window had before.
    lblSakla = new QLabel(QStringLiteral("Saklanacak yedek say\u0131s\u0131 (0: hepsi):"), this);
    lblSakla->setObjectName(QStringLiteral("lblSakla"));
    lblSakla->setFont(captionFont);
    lblSakla->setGeometry(8, 293, 284, 26);
    udSakla = new QSpinBox(this);
    udSakla->setObjectName(QStringLiteral("udSakla"));
    udSakla->setRange(0, kKeepArchivesMax);
    udSakla->setFont(boxFont);
    udSakla->setGeometry(292, 293, 70, 26);
    chkKacan = new QCheckBox(QStringLiteral("Ka\u00e7an yede\u011fi a\u00e7\u0131l\u0131\u015fta al"), this);
    chkKacan->setObjectName(QStringLiteral("chkKacan"));
    chkKacan->setFont(slotFont);
    chkKacan->setGeometry(414, 293, 210, 26);
    cmdEposta = new QPushButton(QString::fromUtf8(kSettingsButton.data(), static_cast<qsizetype>(kSettingsButton.size())), this);
    cmdEposta->setObjectName(QStringLiteral("cmdEposta"));
    cmdEposta->setFont(captionFont);
    cmdEposta->setGeometry(628, 293, 95, 26);

    // Tab order: the first pair and the schedule come before the other three pairs.
    QWidget* order[] = {txtKaynak[0], txtHedef[0], chkYedek1,    dtYedek1,    chkYedek2,    dtyedek2,
                        chkYedek3,    dtYedek3,    cmdCopy,      cmdExit,     txtKaynak[1], txtHedef[1],
                        txtKaynak[2], txtHedef[2], txtKaynak[3], txtHedef[3], udSakla,      chkKacan,
                        cmdEposta};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
    for (QLabel* l : {lblInfo, lblTime, lblSon}) l->setFocusPolicy(Qt::NoFocus);
}

void QtFrontEnd::buildMenu() {
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

void QtFrontEnd::buildTimers() {
    // frmMain gives them their intervals once this copy stays; until then they do not tick.
    Timer1 = new IntervalTimer(0, this);
    Timer2 = new IntervalTimer(0, this);
    Timer2->setSecondAligned(true);  // drift must never skip the second a slot is due in
    Timer3 = new IntervalTimer(0, this);
    Timer4 = new IntervalTimer(0, this);
    Timer5 = new IntervalTimer(0, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    Timer5->setObjectName(QStringLiteral("Timer5"));
}

// ---- events to handlers ----

void QtFrontEnd::attach(frmMain& form) {
    detach();
    form_ = &form;
    auto on = [this](auto* sender, auto signal, auto handler) {
        connections_.push_back(connect(sender, signal, this, handler));
    };
    on(chkYedek1, &QCheckBox::stateChanged, [this] { form_->chkYedek1_Click(); });
    on(chkYedek2, &QCheckBox::stateChanged, [this] { form_->chkYedek2_Click(); });
    on(chkYedek3, &QCheckBox::stateChanged, [this] { form_->chkYedek3_Click(); });
    on(dtYedek1, &QTimeEdit::timeChanged, [this] { form_->dtYedek1_Change(); });
    on(dtyedek2, &QTimeEdit::timeChanged, [this] { form_->dtyedek2_Change(); });
    on(dtYedek3, &QTimeEdit::timeChanged, [this] { form_->dtYedek3_Change(); });
    on(udSakla, &QSpinBox::valueChanged, [this] { form_->udSakla_Change(); });
    on(chkKacan, &QCheckBox::stateChanged, [this] { form_->chkKacan_Click(); });
    on(cmdEposta, &QPushButton::clicked, [this] { form_->cmdEposta_Click(); });

    auto* kaynakFocus = new FocusOutFilter(this);
    auto* hedefFocus = new FocusOutFilter(this);
    filters_ = {kaynakFocus, hedefFocus};
    for (int i = 0; i < 4; ++i) {
        kaynakFocus->watch(txtKaynak[i], i);
        hedefFocus->watch(txtHedef[i], i);
    }
    on(kaynakFocus, &FocusOutFilter::lostFocus, [this](int i) { form_->txtKaynak_LostFocus(i); });
    on(hedefFocus, &FocusOutFilter::lostFocus, [this](int i) { form_->txtHedef_LostFocus(i); });

    on(cmdCopy, &QPushButton::clicked, [this] { form_->cmdCopy_Click(); });
    on(cmdExit, &QPushButton::clicked, [this] { form_->cmdExit_Click(); });
    on(mnuRestore, &QAction::triggered, [this] { form_->mnuRestore_Click(); });
    on(mnuExit, &QAction::triggered, [this] { form_->mnuExit_Click(); });
    // Qt reports tray messages in pixels of a 15-twips-per-pixel screen, as the shell would.
    on(&tray_, &Tray::message,
       [this](int number) { form_->Form_MouseMove(0, 0, number * kTwipsPerPixel, 0); });

    // The session manager ends the session: the program does not ask to stay.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        on(app, &QGuiApplication::commitDataRequest, [this] { endSession(); });
        on(app, &QCoreApplication::aboutToQuit, [this] { endSession(); });
    }

    on(Timer2, &IntervalTimer::tick, [this] { form_->Timer2_Timer(); });
    on(Timer3, &IntervalTimer::tick, [this] { form_->Timer3_Timer(); });
    on(Timer4, &IntervalTimer::tick, [this] { form_->Timer4_Timer(); });
    on(Timer5, &IntervalTimer::tick, [this] { form_->Timer5_Timer(); });
}

void QtFrontEnd::detach() {
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    for (FocusOutFilter* f : filters_) delete f;
    filters_.clear();
    form_ = nullptr;
}

void QtFrontEnd::endSession() {
    if (form_) form_->sessionEnding();
}

void QtFrontEnd::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Activation: the first time the program shows its window.
    if (!activated_ && !event->spontaneous() && form_) {
        activated_ = true;
        form_->Form_Activate();
    }
}

void QtFrontEnd::closeEvent(QCloseEvent* event) {
    int cancel = 0;
    if (form_) form_->Form_Unload(cancel);
    if (cancel != 0) {
        event->ignore();
    } else {
        event->accept();
    }
}

void QtFrontEnd::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A minimise made through the window manager takes the same path as the program's own.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && form_ && form_->windowState() != 1) {
        form_->setWindowState(1);
    }
}

// ---- what frmMain asks of the screen ----

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

std::string QtFrontEnd::sourceText(int pair) const {
    return txtKaynak[static_cast<std::size_t>(pair)]->text().toStdString();
}
void QtFrontEnd::setSourceText(int pair, const std::string& text) {
    txtKaynak[static_cast<std::size_t>(pair)]->setText(q(text));
}
std::string QtFrontEnd::targetText(int pair) const {
    return txtHedef[static_cast<std::size_t>(pair)]->text().toStdString();
}
void QtFrontEnd::setTargetText(int pair, const std::string& text) {
    txtHedef[static_cast<std::size_t>(pair)]->setText(q(text));
}
int QtFrontEnd::switchValue(int slot) const {
    return checkValue(*slotSwitch(slot));
}
bool QtFrontEnd::setSwitchValue(int slot, int value) {
    return setCheckValue(*slotSwitch(slot), value);
}
TimeOfDay QtFrontEnd::pickerTime(int slot) const {
    const QTime t = slotPicker(slot)->time();
    return {t.hour(), t.minute(), t.second()};
}
void QtFrontEnd::setPickerTime(int slot, const TimeOfDay& t) {
    slotPicker(slot)->setTime(QTime(t.hour, t.minute, t.second));
}
int QtFrontEnd::keepArchivesValue() const {
    return udSakla->value();
}
void QtFrontEnd::setKeepArchivesValue(int value) {
    udSakla->setValue(value);  // brought into the range by the box
}
int QtFrontEnd::missedRunValue() const {
    return chkKacan->isChecked() ? 1 : 0;
}
void QtFrontEnd::setMissedRunValue(int value) {
    chkKacan->setChecked(value != 0);
}
std::optional<FolderBox> QtFrontEnd::focusedFolderBox() const {
    // The window's focus child, also while the window is hidden or inactive.
    const QWidget* focused = focusWidget();
    for (int i = 0; i < 4; ++i) {
        if (focused == txtKaynak[static_cast<std::size_t>(i)]) return FolderBox{true, i};
        if (focused == txtHedef[static_cast<std::size_t>(i)]) return FolderBox{false, i};
    }
    return std::nullopt;
}
bool QtFrontEnd::copyEnabled() const {
    return cmdCopy->isEnabled();
}
void QtFrontEnd::setControlAccess(ControlAccess access) {
    std::vector<QWidget*> settings{chkYedek1, chkYedek2, chkYedek3, dtYedek1, dtyedek2, dtYedek3, udSakla, chkKacan,
                                   cmdEposta};
    settings.insert(settings.end(), txtKaynak.begin(), txtKaynak.end());
    settings.insert(settings.end(), txtHedef.begin(), txtHedef.end());
    for (QWidget* control : settings) control->setEnabled(access == ControlAccess::All);
    cmdCopy->setEnabled(access != ControlAccess::None);
}

void QtFrontEnd::setCopyEnabled(bool enabled) {
    cmdCopy->setEnabled(enabled);
}

std::string QtFrontEnd::caption(Caption which) const {
    switch (which) {
        case Caption::cmdExit:
            return cmdExit->text().toStdString();
        case Caption::lblInfo:
            return lblInfo->text().toStdString();
        case Caption::lblTime:
            return lblTime->text().toStdString();
        case Caption::lblSon:
            return lblSon->text().toStdString();
        case Caption::frmMain:
            return windowTitle().toStdString();
    }
    return {};
}

void QtFrontEnd::setCaption(Caption which, const std::string& text) {
    switch (which) {
        case Caption::cmdExit:
            cmdExit->setText(q(text));
            break;
        case Caption::lblInfo:
            lblInfo->setText(q(text));
            break;
        case Caption::lblTime:
            lblTime->setText(q(text));
            break;
        case Caption::lblSon:
            lblSon->setText(q(text));
            break;
        case Caption::frmMain:
            setWindowTitle(q(text));
            break;
    }
}

void QtFrontEnd::setTimerInterval(int timer, int ms) {
    IntervalTimer* timers[] = {nullptr, Timer1, Timer2, Timer3, Timer4, Timer5};
    if (timer >= 1 && timer <= 5) timers[timer]->setInterval(ms);
}

void QtFrontEnd::applyWindowState(int state) {
    if (state == 0 && isMinimized()) showNormal();
}
void QtFrontEnd::showWindow() {
    show();
}
void QtFrontEnd::hideWindow() {
    hide();
}
void QtFrontEnd::bringToFront() {
    raise();
    activateWindow();
}
void QtFrontEnd::requestClose() {
    close();
}

void QtFrontEnd::addTrayIcon() {
    tray_.addIcon();
}
void QtFrontEnd::deleteTrayIcon() {
    tray_.deleteIcon();
}
void QtFrontEnd::popUpTrayMenu() {
    tray_.popUp(*mnuSystray);
}
void QtFrontEnd::showTrayWarning(const std::string& title, const std::string& text) {
    tray_.showWarning(q(title), q(text));
}

void QtFrontEnd::showExclamation(const std::string& text) {
    // The title shows nothing: Qt would put the program's name in place of an empty one.
    messageBox(this, q(text), QMessageBox::Ok, QMessageBox::Warning, QMessageBox::Ok, QStringLiteral(" "));
}
bool QtFrontEnd::askYesNo(const std::string& text) {
    return messageBox(this, q(text), QMessageBox::Yes | QMessageBox::No, QMessageBox::NoIcon,
                      QMessageBox::Yes, QCoreApplication::applicationName()) == QMessageBox::Yes;
}
void QtFrontEnd::processPendingEvents() {
    zel::processPendingEvents();
}
void QtFrontEnd::endProgram() {
    endProgram_();
}
void QtFrontEnd::postToWindow(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}
void QtFrontEnd::showMailDialog(const MailForm& form, MailDialogCalls calls) {
    MailDialog dialog(form, std::move(calls), this);
    dialog.exec();
}

}  // namespace zel
