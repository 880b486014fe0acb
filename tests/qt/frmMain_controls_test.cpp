#include <QApplication>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include "support/qt/window_fixture.h"
#include "qt/toolkit.h"

namespace zel::test {
namespace {

using ControlsTest = WindowTest;

TEST_F(ControlsTest, FolderBoxesCarryTheirDesignTextsAndNames) {
    auto& w = window();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(w.txtKaynak[i]->text(), QStringLiteral("c:\\brevund"));
        EXPECT_EQ(w.txtHedef[i]->text(), QStringLiteral("c:\\tarvel-yedek"));
        EXPECT_EQ(w.txtKaynak[i]->objectName(), QStringLiteral("txtKaynak_%1").arg(i));
        EXPECT_EQ(w.txtHedef[i]->objectName(), QStringLiteral("txtHedef_%1").arg(i));
        EXPECT_EQ(w.txtKaynak[i]->font().family(), QStringLiteral("MS Sans Serif"));
        EXPECT_DOUBLE_EQ(w.txtKaynak[i]->font().pointSizeF(), 9.75);
        EXPECT_TRUE(w.txtHedef[i]->font().bold());
    }
}

TEST_F(ControlsTest, CaptionLabelsSitInTwoGroupsWithTheirTexts) {
    auto& w = window();
    const char* label1[] = {"Kaynak I:", "Kaynak III:", "Hedef I:", "Hedef II:", "Hedef III:", "Hedef IV:"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.Label1[i]->text(), QString::fromLatin1(label1[i])) << i;
        EXPECT_EQ(w.Label1[i]->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(w.Label1[i]->font().pointSizeF(), 12.0);
    }
    EXPECT_EQ(w.Label4[0]->text(), QStringLiteral("Kaynak II"));
    EXPECT_EQ(w.Label4[1]->text(), QStringLiteral("Kaynak IV"));
}

TEST_F(ControlsTest, ScheduleSlotsStartUncheckedWithTheirPickers) {
    auto& w = window();
    QCheckBox* checks[] = {w.chkYedek1, w.chkYedek2, w.chkYedek3};
    QTimeEdit* pickers[] = {w.dtYedek1, w.dtyedek2, w.dtYedek3};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(checks[k]->text(), QStringLiteral("Yedek - %1").arg(k + 1));
        EXPECT_EQ(checkValue(*checks[k]), 0);
        EXPECT_EQ(checks[k]->font().family(), QStringLiteral("Arial"));
        EXPECT_EQ(pickers[k]->toolTip(), QStringLiteral("Otomatik Yedekleme Zaman\u0131"));
        EXPECT_EQ(pickers[k]->displayFormat(), QStringLiteral("HH:mm:ss"));
        EXPECT_EQ(pickers[k]->font().family(), QStringLiteral("Verdana"));
        EXPECT_DOUBLE_EQ(pickers[k]->font().pointSizeF(), 24.0);
    }
    EXPECT_EQ(w.dtyedek2->objectName(), QStringLiteral("dtyedek2"));
}

TEST_F(ControlsTest, ButtonsLabelsAndWindow) {
    auto& w = window();
    EXPECT_EQ(w.cmdCopy->text(), QStringLiteral("Yedekle"));
    EXPECT_EQ(w.cmdExit->text(), QStringLiteral("Gizle"));
    EXPECT_TRUE(w.cmdExit->font().italic());
    EXPECT_DOUBLE_EQ(w.cmdCopy->font().pointSizeF(), 24.0);
    EXPECT_TRUE(w.lblInfo->text().isEmpty());
    EXPECT_TRUE(w.lblTime->text().isEmpty());
    EXPECT_TRUE(w.lblSon->text().isEmpty());
    EXPECT_EQ(w.lblSon->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(w.lblSon->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_DOUBLE_EQ(w.lblInfo->font().pointSizeF(), 14.25);

    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZEL Yedek"));
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(192, 192, 255));
    EXPECT_EQ(w.minimumSize(), QSize(753, 289));
    EXPECT_EQ(w.maximumSize(), QSize(753, 289));
    // The last-backup label lies below the visible client area.
    EXPECT_GE(w.lblSon->geometry().top(), w.height());
    EXPECT_FALSE(w.windowIcon().isNull());
}

TEST_F(ControlsTest, TabOrderReachesTheButtonsBeforeTheSecondPair) {
    auto& w = window();
    QWidget* expected[] = {w.txtKaynak[0], w.txtHedef[0], w.chkYedek1,    w.dtYedek1,
                           w.chkYedek2,    w.dtyedek2,    w.chkYedek3,    w.dtYedek3,
                           w.cmdCopy,      w.cmdExit,     w.txtKaynak[1], w.txtHedef[1],
                           w.txtKaynak[2], w.txtHedef[2], w.txtKaynak[3], w.txtHedef[3]};
    // Walk the focus chain once around; inner parts of composite widgets are passed over.
    std::vector<QWidget*> seen;
    QWidget* at = w.txtKaynak[0];
    do {
        if (std::find(std::begin(expected), std::end(expected), at) != std::end(expected)) seen.push_back(at);
        at = at->nextInFocusChain();
    } while (at != w.txtKaynak[0] && seen.size() < 40);
    ASSERT_EQ(seen.size(), std::size(expected));
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], expected[i]) << "position " << i;
}

TEST_F(ControlsTest, TrayMenuHasThreeEntriesAndTheWindowNoMenuBar) {
    auto& w = window();
    auto actions = w.mnuSystray->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(w.mnuSystray->title(), QStringLiteral("System Tray Popup"));
    EXPECT_EQ(actions[0]->text(), QStringLiteral("&ZEL Yedek"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("&Kapat"));
    EXPECT_EQ(actions[0], w.mnuRestore);
    EXPECT_EQ(actions[2], w.mnuExit);
    EXPECT_TRUE(w.findChildren<QMenuBar*>().isEmpty());
}

TEST_F(ControlsTest, TimersHaveTheirIntervalsAndTimer1NeverFires) {
    auto& w = window();
    EXPECT_EQ(w.Timer1->interval(), 0);
    EXPECT_EQ(w.Timer2->interval(), 1000);
    EXPECT_EQ(w.Timer3->interval(), 0);
    EXPECT_EQ(w.Timer4->interval(), 30000);
    EXPECT_EQ(w.Timer5->interval(), 10000);
    QSignalSpy ticks(w.Timer1, &IntervalTimer::tick);
    QTest::qWait(300);
    EXPECT_EQ(ticks.count(), 0);
    EXPECT_FALSE(w.Timer1->isTicking());
}

TEST_F(ControlsTest, LeavingAnUnchangedTextBoxCallsItsHandlerOnce) {
    auto& w = window();
    w.show();
    QApplication::setActiveWindow(&w);
    w.txtHedef[2]->setFocus();
    QApplication::processEvents();
    const auto before = w.handlerCounts();
    w.txtKaynak[3]->setFocus();  // text untouched
    QApplication::processEvents();
    EXPECT_EQ(w.handlerCounts().lostFocusHedef, before.lostFocusHedef + 1);
    EXPECT_EQ(w.handlerCounts().lostFocusKaynak, before.lostFocusKaynak);
    EXPECT_EQ(w.handlerCounts().saveSettings, before.saveSettings + 1);
}

TEST_F(ControlsTest, SwitchesAndPickersRaiseTheirChangeHandlers) {
    auto& w = window();
    const int before = w.handlerCounts().saveSettings;
    ASSERT_TRUE(setCheckValue(*w.chkYedek2, 1));  // a value set by code raises the click too
    w.dtYedek3->setTime(QTime(12, 0, 30));
    EXPECT_EQ(w.handlerCounts().saveSettings, before + 2);
}

TEST_F(ControlsTest, SettingWindowStateRunsFormResizeBeforeReturning) {
    auto& w = window();
    const int before = w.handlerCounts().formResize;
    w.setWindowStateValue(1);
    EXPECT_EQ(w.handlerCounts().formResize, before + 1);
    EXPECT_EQ(w.windowStateValue(), 1);
    w.setWindowStateValue(0);
    EXPECT_EQ(w.handlerCounts().formResize, before + 2);
    EXPECT_EQ(w.windowStateValue(), 0);
}

}  // namespace
}  // namespace zel::test
