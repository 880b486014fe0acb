#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "qt/focus_out_filter.h"
#include "qt/interval_timer.h"
#include "qt/tray.h"
#include "window/front_end.h"

namespace zel {

class frmMain;

// The window on Qt: the controls, timers and menu under their well-known names, what frmMain
// asks of them, and Qt's events passed on to frmMain's handlers. No rule lives here.
class QtFrontEnd final : public QWidget, public FrontEnd {
    Q_OBJECT
public:
    // `endProgram` ends the process at once; tests put a recorder there.
    QtFrontEnd(Tray& tray, std::function<void()> endProgram, QWidget* parent = nullptr);
    ~QtFrontEnd() override;

    // From now on the controls' events, the timers' ticks and the tray's messages go to `form`.
    void attach(frmMain& form);
    void detach();
    // The end of the session (the session manager's, a termination signal) for frmMain.
    void endSession();

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
    QLabel* lblSakla = nullptr;
    QSpinBox* udSakla = nullptr;
    QCheckBox* chkKacan = nullptr;
    QPushButton* cmdEposta = nullptr;
    IntervalTimer* Timer1 = nullptr;
    IntervalTimer* Timer2 = nullptr;
    IntervalTimer* Timer3 = nullptr;
    IntervalTimer* Timer4 = nullptr;
    IntervalTimer* Timer5 = nullptr;
    QMenu* mnuSystray = nullptr;
    QAction* mnuRestore = nullptr;
    QAction* mnuSeparator = nullptr;
    QAction* mnuExit = nullptr;

    // Slot k (0..2): its switch and its picker.
    QCheckBox* slotSwitch(int k) const { return std::array{chkYedek1, chkYedek2, chkYedek3}[k]; }
    QTimeEdit* slotPicker(int k) const { return std::array{dtYedek1, dtyedek2, dtYedek3}[k]; }

    // FrontEnd
    std::string sourceText(int pair) const override;
    void setSourceText(int pair, const std::string& text) override;
    std::string targetText(int pair) const override;
    void setTargetText(int pair, const std::string& text) override;
    int switchValue(int slot) const override;
    bool setSwitchValue(int slot, int value) override;
    TimeOfDay pickerTime(int slot) const override;
    void setPickerTime(int slot, const TimeOfDay& time) override;
    int keepArchivesValue() const override;
    void setKeepArchivesValue(int value) override;
    int missedRunValue() const override;
    void setMissedRunValue(int value) override;
    std::optional<FolderBox> focusedFolderBox() const override;
    bool copyEnabled() const override;
    void setCopyEnabled(bool enabled) override;
    std::string caption(Caption which) const override;
    void setCaption(Caption which, const std::string& text) override;
    void setTimerInterval(int timer, int ms) override;
    void applyWindowState(int state) override;
    void showWindow() override;
    void hideWindow() override;
    void bringToFront() override;
    void requestClose() override;
    void setControlAccess(ControlAccess access) override;
    void addTrayIcon() override;
    void deleteTrayIcon() override;
    void popUpTrayMenu() override;
    void showTrayWarning(const std::string& title, const std::string& text) override;
    void showExclamation(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void processPendingEvents() override;
    void endProgram() override;
    void postToWindow(std::function<void()> call) override;
    void showMailDialog(const MailForm& form, MailDialogCalls calls) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void buildTimers();

    Tray& tray_;
    std::function<void()> endProgram_;
    frmMain* form_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
    std::vector<FocusOutFilter*> filters_;
    bool activated_ = false;
};

}  // namespace zel
