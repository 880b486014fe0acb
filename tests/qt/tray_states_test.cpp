#include <QSignalSpy>
#include <QTest>

#include "support/qt/window_fixture.h"
#include "qt/tray_messages.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

TEST(TrayMessages, OnlyDoubleClickAndRightReleaseDoAnything) {
    EXPECT_EQ(trayActionFor(515), TrayAction::RestoreWindow);
    EXPECT_EQ(trayActionFor(517), TrayAction::PopUpMenu);
    for (int other : {512, 513, 514, 516, 518, 519, 520, 521, 0, -1})
        EXPECT_EQ(trayActionFor(other), TrayAction::None) << other;
}

TEST(TrayMessages, NumberComesBackOutOfX) {
    EXPECT_EQ(trayMessageFromX(515 * 15.0, false, 15.0), 515);
    EXPECT_EQ(trayMessageFromX(517 * 15.0 + 7.4, false, 15.0), 517);  // rounded to the nearest
    EXPECT_EQ(trayMessageFromX(517.0, true, 15.0), 517);
    EXPECT_EQ(trayMessageFromX(515 * 12.0, false, 12.0), 515);
}

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

class TrayStatesTest : public WindowTest {
protected:
    frmMain& shownWindow() {
        auto& w = window();
        w.Form_Load();
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
    EXPECT_EQ(w.windowStateValue(), 1);
    EXPECT_EQ(w.Timer3->interval(), 0);
    // Shown again, it stays: the start-up hide happens once only.
    w.restoreWindow();
    QTest::qWait(1300);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(tray.adds, 1);
}

TEST_F(TrayStatesTest, DoubleClickShowsAndSingleClicksDoNothing) {
    auto& w = shownWindow();
    w.setWindowStateValue(1);
    ASSERT_FALSE(w.isVisible());
    for (int n : {512, 513, 514, 516, 518}) tray.send(n);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(tray.poppedUpEntries.isEmpty());
    tray.send(515);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowStateValue(), 0);
    tray.send(515);  // while shown: stays shown
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowStateValue(), 0);
}

TEST_F(TrayStatesTest, RightButtonPopsUpTheMenuWithItsEntries) {
    auto& w = shownWindow();
    w.setWindowStateValue(1);
    tray.send(517);
    EXPECT_EQ(tray.poppedUpEntries, (QStringList{"&ZEL Yedek", "-", "&Kapat"}));
    EXPECT_FALSE(w.isVisible());  // the menu alone does not show the window
}

TEST_F(TrayStatesTest, CloseRequestHidesAndTheProgramLivesOn) {
    auto& w = shownWindow();
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.windowStateValue(), 1);
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(tray.deletes, 0);
}

TEST_F(TrayStatesTest, GizleHidesAndMenuRestoreShows) {
    auto& w = shownWindow();
    QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    w.mnuRestore->trigger();
    EXPECT_TRUE(w.isVisible());
}

TEST_F(TrayStatesTest, KapatDeletesTheIconThenEnds) {
    auto& w = shownWindow();
    int deletesAtEnd = -1;
    w.mnuExit->trigger();
    deletesAtEnd = tray.deletes;
    EXPECT_EQ(deletesAtEnd, 1);
    EXPECT_EQ(programEnds, 1);
}

TEST_F(TrayStatesTest, Timer4ReAddsWithGrowingIntervalsAndStopsAfterTheFifth) {
    auto& w = shownWindow();
    const int expected[] = {30000, 60000, 300000, 900000, 0};
    for (int tick = 1; tick <= 5; ++tick) {
        w.Timer4_Timer();
        EXPECT_EQ(w.trayAddCount, tick);
        EXPECT_EQ(w.Timer4->interval(), expected[tick - 1]) << "after tick " << tick;
    }
    EXPECT_EQ(tray.adds, 6);
    EXPECT_FALSE(w.Timer4->isTicking());
}

TEST_F(TrayStatesTest, Timer4TicksThroughTheRealTimer) {
    auto& w = shownWindow();
    QSignalSpy ticks(w.Timer4, &IntervalTimer::tick);
    w.Timer4->setInterval(20);  // the adapter delivers ticks to the handler the same way at any interval
    QTRY_COMPARE_WITH_TIMEOUT(w.trayAddCount, 1, 2000);
    EXPECT_EQ(w.Timer4->interval(), 20);
    EXPECT_GE(tray.adds, 2);
}

TEST_F(TrayStatesTest, IptalEnablesYedekleAndStopsFurtherPairs) {
    // A zip stand-in that takes a second per pair.
    installZipStandIn("echo \"$@\" >> " + (tmp / "zips").string() + "\nsleep 1");
    auto& w = shownWindow();
    w.Timer3->setInterval(0);
    bool shownAfterCancel = false;
    bool enabledAtOnce = false;
    QString captionAtOnce;
    QTimer::singleShot(300, [&] {
        ASSERT_EQ(w.cmdExit->text(), QStringLiteral("\u0130ptal"));
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
        enabledAtOnce = w.cmdCopy->isEnabled();
        captionAtOnce = w.cmdExit->text();
        shownAfterCancel = w.isVisible();
    });
    w.cmdCopy_Click();
    EXPECT_TRUE(enabledAtOnce);
    EXPECT_EQ(captionAtOnce, QStringLiteral("Gizle"));
    EXPECT_TRUE(shownAfterCancel);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(readFile(tmp / "zips").size(), readFile(tmp / "zips").find('\n') + 1)
        << "only the first pair ran";
}

}  // namespace
}  // namespace zel::test
