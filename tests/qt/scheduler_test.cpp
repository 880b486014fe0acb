#include <QSet>
#include <QTest>

#include "qt/toolkit.h"
#include "support/qt/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

// A window whose pair 0 is the only one with a source, and a zip stand-in that logs each start.
class SchedulerTest : public QtWindowTest {
protected:
    void SetUp() override {
        fs::create_directories(drive('c') / "brevund");
        installCountingZip(0.0);
        auto& w = window();
        form().Form_Load();
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
        form().Timer2_Timer();
    }
};

TEST_F(SchedulerTest, TicksDuringTheRunFindYedekleDisabled) {
    installCountingZip(1.5);
    slot(0, 1, QTime(5, 0, 0));
    clock.set({2024, 3, 5, 5, 0, 0});
    window().Timer2->setInterval(1000);  // the real ticks run inside the wait, all reading 05:00:00
    tickAt(5, 0, 0);
    EXPECT_EQ(runs(), 1);
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
    form().cmdCopy_Click();
    EXPECT_GE(seen.size(), 3) << "the clock stood still during the run";
}

}  // namespace
}  // namespace zel::test
