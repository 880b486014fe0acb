#include <QSet>
#include <QTest>

#include "support/qt/window_fixture.h"
#include "qt/toolkit.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

// A window whose pair 0 is the only one with a source, and a zip stand-in that logs each start.
class SchedulerTest : public WindowTest {
protected:
    void SetUp() override {
        fs::create_directories(drive('c') / "brevund");
        installCountingZip(0.0);
        auto& w = window();
        w.Form_Load();
        for (int i = 1; i < 4; ++i) w.txtKaynak[i]->setText(QString());
        for (int k = 0; k < 3; ++k) setCheckValue(*w.slotSwitch(k), 0);
        w.Timer2->setInterval(0);  // ticks come from the test unless it says otherwise
    }
    void installCountingZip(double seconds) {
        installZipStandIn("echo run >> '" + (tmp / "zips").string() + "'\nsleep " + std::to_string(seconds));
    }
    int runs() const {
        std::string log = readFile(tmp / "zips");
        return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
    }
    void slot(int k, int on, QTime t) {
        setCheckValue(*window().slotSwitch(k), on);
        window().slotPicker(k)->setTime(t);
    }
    void tickAt(int h, int m, int s) {
        clock.set({2024, 3, 5, h, m, s});
        window().Timer2_Timer();
    }
};

TEST_F(SchedulerTest, EveryTickWritesTheClock) {
    tickAt(9, 7, 5);
    EXPECT_EQ(window().lblTime->text(), QStringLiteral("09:07:05"));
    EXPECT_EQ(runs(), 0);
}

TEST_F(SchedulerTest, EnabledSlotFiresInItsSecondAndRunsOneBackup) {
    slot(0, 1, QTime(5, 0, 0));
    tickAt(4, 59, 59);
    EXPECT_EQ(runs(), 0);
    tickAt(5, 0, 0);
    EXPECT_EQ(runs(), 1);
    tickAt(5, 0, 1);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, TicksDuringTheRunFindYedekleDisabled) {
    installCountingZip(1.5);
    slot(0, 1, QTime(5, 0, 0));
    clock.set({2024, 3, 5, 5, 0, 0});
    window().Timer2->setInterval(1000);  // the real ticks run inside the wait, all reading 05:00:00
    tickAt(5, 0, 0);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, ClearedSwitchNeverFiresAndGrayedDoes) {
    slot(0, 0, QTime(5, 0, 0));
    tickAt(5, 0, 0);
    EXPECT_EQ(runs(), 0);
    slot(1, 2, QTime(6, 0, 0));
    tickAt(6, 0, 0);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, TwoSlotsWithOneTimeStartOneRun) {
    slot(1, 1, QTime(17, 0, 0));
    slot(2, 1, QTime(17, 0, 0));
    tickAt(17, 0, 0);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, SlotComingUpDuringARunIsSkipped) {
    installCountingZip(1.2);
    slot(0, 1, QTime(6, 0, 0));
    clock.set({2024, 3, 5, 5, 59, 59});
    QTimer::singleShot(300, [&] { tickAt(6, 0, 0); });  // due while the manual run waits
    window().cmdCopy_Click();
    EXPECT_EQ(runs(), 1);
    tickAt(6, 0, 1);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, AfterIptalADueSlotStartsNoSecondRun) {
    installCountingZip(1.2);
    slot(0, 1, QTime(6, 0, 0));
    QTimer::singleShot(200, [&] { window().cmdExit_Click(); });  // "İptal": Yedekle usable again
    QTimer::singleShot(400, [&] { tickAt(6, 0, 0); });
    window().cmdCopy_Click();
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, ALateTickStartsTheRunOfTheSecondItSkipped) {
    slot(2, 1, QTime(12, 0, 30));
    tickAt(12, 0, 29);
    tickAt(12, 0, 31);  // the second 12:00:30 had no tick of its own
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(window().lblTime->text(), QStringLiteral("12:00:31"));
    tickAt(12, 0, 32);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, ClockChangesFollowTheWallClock) {
    slot(0, 1, QTime(2, 30, 0));
    // Spring forward: 02:00 becomes 03:00, the slot's time never shows.
    tickAt(1, 59, 59);
    tickAt(3, 0, 0);
    EXPECT_EQ(runs(), 0);
    // Fall back: 02:30 comes twice, and fires each time.
    tickAt(2, 30, 0);
    EXPECT_EQ(runs(), 1);
    tickAt(2, 59, 59);
    tickAt(2, 0, 0);
    tickAt(2, 30, 0);
    EXPECT_EQ(runs(), 2);
}

TEST_F(SchedulerTest, AnEarlyTickInTheSameSecondStartsNoSecondRun) {
    slot(0, 1, QTime(5, 0, 0));
    tickAt(5, 0, 0);
    tickAt(5, 0, 0);
    EXPECT_EQ(runs(), 1);
}

TEST_F(SchedulerTest, WindowIsShownDuringAScheduledRunAndHiddenAfter) {
    installCountingZip(0.8);
    auto& w = window();
    w.show();  // open before the slot fires
    w.Timer3->setInterval(0);
    slot(0, 1, QTime(5, 0, 0));
    w.setWindowStateValue(1);
    ASSERT_FALSE(w.isVisible());
    bool visibleDuring = false;
    QTimer::singleShot(300, [&] { visibleDuring = w.isVisible(); });
    tickAt(5, 0, 0);
    EXPECT_TRUE(visibleDuring);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.windowStateValue(), 1);

    w.restoreWindow();  // open again when the next slot comes
    slot(1, 1, QTime(17, 0, 0));
    tickAt(17, 0, 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(runs(), 2);
}

TEST_F(SchedulerTest, ClockLabelKeepsChangingWhileARunWaits) {
    installCountingZip(3.2);
    clock.set({2024, 3, 5, 8, 0, 0});
    clock.run();
    auto& w = window();
    w.Timer2->setInterval(1000);
    QSet<QString> seen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { seen.insert(w.lblTime->text()); });
    sampler.start(100);
    w.cmdCopy_Click();
    EXPECT_GE(seen.size(), 3) << "the clock stood still during the run";
}

// A backup that fails says so: in the run log, with a warning at the icon, and not in the history.
TEST_F(SchedulerTest, FailedScheduledRunIsLoggedWarnedAndNeverRecorded) {
    installZip();
    fs::create_directories(drive('c') / "brevund" / "belgeler");
    writeFile(drive('c') / "brevund" / "belgeler" / "veri.txt", "veri");
    auto& w = window();
    w.txtKaynak[0]->setText(QStringLiteral("c:\\brevund\\belgeler"));
    w.txtHedef[0]->setText(QStringLiteral("c:\\silinen\\yedek"));  // its folder was removed
    slot(1, 1, QTime(2, 0, 0));
    tickAt(2, 0, 0);
    QTest::qWait(100);  // the record's outcome comes back from the database thread
    const std::string log = readFile(drive('c') / "TarvelYedek.log");
    EXPECT_NE(log.find("2024-03-05 02:00:00  Yedekleme başladı (zamanlama 2, 02:00:00)"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Yedekleme başarısız: c:\\brevund\\belgeler -> "
                       "c:\\silinen\\yedek\\yedek20240305.0200.zip (zip hata kodu 15"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Yedekleme kaydı yazılmadı: sağlam bir arşiv yok"), std::string::npos) << log;
    EXPECT_NE(log.find("Yedekleme bitti"), std::string::npos) << log;
    ASSERT_EQ(tray.warnings.size(), 1);
    EXPECT_EQ(tray.warnings[0],
              QStringLiteral("ZEL Yedek: Yedekleme başarısız: "
                             "c:\\brevund\\belgeler -> c:\\silinen\\yedek (zip hata kodu 15)"));

    // Once the folder is back the next run is good, and a good run shows nothing.
    fs::create_directories(drive('c') / "silinen");
    w.cmdCopy_Click();
    EXPECT_EQ(tray.warnings.size(), 1);
    EXPECT_NE(readFile(drive('c') / "TarvelYedek.log").find("Yedekle düğmesi"), std::string::npos);
}

}  // namespace
}  // namespace zel::test
