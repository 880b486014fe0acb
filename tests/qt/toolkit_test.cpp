#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "qt/interval_timer.h"
#include "qt/toolkit.h"

namespace zel {
namespace {

TEST(CheckValue, MapsTheThreeStatesBothWays) {
    EXPECT_EQ(checkValue(Qt::Unchecked), 0);
    EXPECT_EQ(checkValue(Qt::Checked), 1);
    EXPECT_EQ(checkValue(Qt::PartiallyChecked), 2);
    QCheckBox box;
    box.setTristate(true);
    for (int v : {2, 1, 0}) {
        EXPECT_TRUE(setCheckValue(box, v));
        EXPECT_EQ(checkValue(box), v);
    }
}

TEST(CheckValue, RefusesOtherNumbersAndKeepsTheValue) {
    QCheckBox box;
    box.setTristate(true);
    ASSERT_TRUE(setCheckValue(box, 2));
    QSignalSpy clicks(&box, &QCheckBox::stateChanged);
    EXPECT_FALSE(setCheckValue(box, 3));
    EXPECT_FALSE(setCheckValue(box, -1));
    EXPECT_EQ(checkValue(box), 2);
    EXPECT_EQ(clicks.count(), 0);
}

TEST(IntervalTimer, ZeroMeansNoTicks) {
    IntervalTimer t(0);
    QSignalSpy ticks(&t, &IntervalTimer::tick);
    QTest::qWait(100);
    EXPECT_EQ(ticks.count(), 0);
    t.setInterval(20);
    EXPECT_TRUE(ticks.wait(1000));
    t.setInterval(0);
    QTest::qWait(10);  // a tick handed over before the stop is dropped, not delivered
    ticks.clear();
    QTest::qWait(100);
    EXPECT_EQ(ticks.count(), 0);
    EXPECT_FALSE(t.isTicking());
}

TEST(IntervalTimer, SettingAnIntervalRestartsTheCountdown) {
    IntervalTimer t(300);
    QSignalSpy ticks(&t, &IntervalTimer::tick);
    QElapsedTimer since;
    QTest::qWait(200);
    t.setInterval(300);  // countdown starts again from here
    since.start();
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_GE(since.elapsed(), 280);
}

TEST(IntervalTimer, KeepsTickingWhileItsOwnHandlerProcessesEvents) {
    IntervalTimer t(20);
    int ticks = 0;
    bool inHandler = false;
    int nested = 0;
    QObject::connect(&t, &IntervalTimer::tick, [&] {
        ++ticks;
        if (inHandler) {
            ++nested;
            return;
        }
        inHandler = true;
        QElapsedTimer e;
        e.start();
        while (e.elapsed() < 200) processPendingEvents();  // a handler waiting for a program
        inHandler = false;
    });
    QTest::qWait(300);
    EXPECT_GE(nested, 3);
}

}  // namespace
}  // namespace zel
