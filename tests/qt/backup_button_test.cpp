#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "support/qt/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

class BackupButtonTest : public QtWindowTest {
protected:
    // A zip stand-in that takes its time, then does nothing.
    void installSlowZip(double seconds) { installZipStandIn("sleep " + std::to_string(seconds)); }
};

TEST_F(BackupButtonTest, ClickingYedekleArchivesAndWritesTheLastBackupLabel) {
    installZip();
    writeFile(drive('c') / "brevund" / "x" / "veri.txt", "veri");
    auto& w = window();
    w.txtHedef[0]->setText(QStringLiteral("c:\\hedef"));
    for (int i = 1; i < 4; ++i) w.txtKaynak[i]->setText(QString());
    QTest::mouseClick(w.cmdCopy, Qt::LeftButton);
    EXPECT_TRUE(fs::exists(drive('c') / "hedef" / "hedef20240305.0907.zip"));
    EXPECT_EQ(form().archiveName(), "hedef20240305.0907.zip");
    EXPECT_EQ(w.lblSon->text(), QStringLiteral("Son Yedekleme Tarihi: \r\n05.03.2024 09:07:00   "));
    EXPECT_TRUE(w.cmdCopy->isEnabled());
    EXPECT_EQ(w.cmdExit->text(), QStringLiteral("Gizle"));
}

TEST_F(BackupButtonTest, TimersKeepFiringWhileTheRunWaits) {
    installSlowZip(1.5);
    auto& w = window();
    form().Form_Load();  // the copy stays: its timers tick
    for (int i = 1; i < 4; ++i) w.txtKaynak[i]->setText(QString());
    fs::create_directories(drive('c') / "brevund");
    IntervalTimer probe(100);
    QSignalSpy ticks(&probe, &IntervalTimer::tick);
    QSignalSpy clock(w.Timer2, &IntervalTimer::tick);
    bool disabledInside = false;
    QString captionInside;
    QObject::connect(&probe, &IntervalTimer::tick, [&] {
        disabledInside = !w.cmdCopy->isEnabled();
        captionInside = w.cmdExit->text();
    });
    QElapsedTimer t;
    t.start();
    form().cmdCopy_Click();
    EXPECT_GE(t.elapsed(), 1400);
    EXPECT_GE(ticks.count(), 8);  // a 100 ms timer over a 1.5 s wait, with room for a busy machine
    EXPECT_GE(clock.count(), 1);
    EXPECT_TRUE(disabledInside);
    EXPECT_EQ(captionInside, QStringLiteral("\u0130ptal"));
}

}  // namespace
}  // namespace zel::test
