#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "qt/termination_signals.h"
#include "support/qt/window_fixture.h"
#include "window/tray_messages.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

TEST(TrayMessages, QtReasonsMapToMessageNumbers) {
    EXPECT_EQ(SystemTray::messageFor(QSystemTrayIcon::DoubleClick), 515);
    EXPECT_EQ(SystemTray::messageFor(QSystemTrayIcon::Context), 517);
    EXPECT_EQ(trayActionFor(SystemTray::messageFor(QSystemTrayIcon::Trigger)), TrayAction::None);
    EXPECT_EQ(trayActionFor(SystemTray::messageFor(QSystemTrayIcon::MiddleClick)), TrayAction::None);
}

TEST(SystemTrayIcon, CarriesTheTipAndTheWindowIcon) {
    SystemTray tray(QIcon{});
    EXPECT_EQ(tray.toolTip(), QStringLiteral("ZEL YEDEK"));
}

class TrayStatesTest : public QtWindowTest {
protected:
    QtFrontEnd& shownWindow() {
        auto& w = window();
        form().Form_Load();
        w.show();
        return w;
    }
};

TEST_F(TrayStatesTest, FirstShowAddsTheIconAndHidesTheWindowASecondLater) {
    auto& w = shownWindow();
    EXPECT_EQ(tray.adds, 1);
    EXPECT_EQ(w.Timer3->interval(), 1000);
    EXPECT_TRUE(w.isVisible());
    QTest::qWait(600);
    EXPECT_TRUE(w.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 2000);
    EXPECT_EQ(form().windowState(), 1);
    EXPECT_EQ(w.Timer3->interval(), 0);
    // Shown again, it stays: the start-up hide happens once only.
    form().restoreWindow();
    QTest::qWait(1300);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(tray.adds, 1);
}

TEST_F(TrayStatesTest, DoubleClickShowsAndSingleClicksDoNothing) {
    auto& w = shownWindow();
    form().setWindowState(1);
    ASSERT_FALSE(w.isVisible());
    for (int n : {512, 513, 514, 516, 518}) tray.send(n);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(tray.poppedUpEntries.isEmpty());
    tray.send(515);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(form().windowState(), 0);
    tray.send(515);  // while shown: stays shown
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(form().windowState(), 0);
}

TEST_F(TrayStatesTest, RightButtonPopsUpTheMenuWithItsEntries) {
    auto& w = shownWindow();
    form().setWindowState(1);
    tray.send(517);
    EXPECT_EQ(tray.poppedUpEntries, (QStringList{"&ZEL Yedek", "-", "&Kapat"}));
    EXPECT_FALSE(w.isVisible());  // the menu alone does not show the window
}

TEST_F(TrayStatesTest, CloseRequestHidesAndTheProgramLivesOn) {
    auto& w = shownWindow();
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(form().windowState(), 1);
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(tray.deletes, 0);
}

TEST_F(TrayStatesTest, Timer4TicksThroughTheRealTimer) {
    auto& w = shownWindow();
    QSignalSpy ticks(w.Timer4, &IntervalTimer::tick);
    w.Timer4->setInterval(20);  // the adapter delivers ticks to the handler the same way at any interval
    // The first tick re-adds the icon and keeps the interval; the second sets 60000.
    QTRY_VERIFY_WITH_TIMEOUT(w.Timer4->interval() == 60000, 2000);
    EXPECT_GE(ticks.count(), 2);
    EXPECT_GE(tray.adds, 3);
}

TEST_F(TrayStatesTest, ATerminationSignalSavesTheBoxTypedIntoThenDeletesTheIconAndEnds) {
    auto& w = shownWindow();
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::caught, &w, [&w] { w.endSession(); });
    for (int signal : {SIGTERM, SIGHUP}) {
        programEnds = 0;
        const QString typed = QStringLiteral("c:\\yazildi%1").arg(signal);
        w.txtHedef[2]->setFocus();
        w.txtHedef[2]->setText(typed);  // no Tab: nothing saved yet
        w.hide();                       // hidden in the tray, as most of the time
        ASSERT_EQ(w.focusedFolderBox(), (FolderBox{false, 2}));
        ::raise(signal);
        ASSERT_TRUE(QTest::qWaitFor([this] { return programEnds == 1; }, 5000)) << signal;
        EXPECT_EQ(tray.deletes, 1 + (signal == SIGHUP));
        const std::string text = readFile(settingsFile());
        EXPECT_NE(text.find("\r\n" + typed.toStdString() + "\r\n"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace zel::test
