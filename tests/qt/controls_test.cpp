#include <QApplication>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <tuple>

#include "qt/toolkit.h"
#include "support/qt/window_fixture.h"

namespace zel::test {
namespace {

using ControlsTest = QtWindowTest;

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
    EXPECT_EQ(w.minimumSize(), QSize(753, 289 + 34));
    EXPECT_EQ(w.maximumSize(), QSize(753, 289 + 34));
    // The last-backup label lies below the visible client area.
    EXPECT_GE(w.lblSon->geometry().top(), w.height());
    EXPECT_FALSE(w.windowIcon().isNull());
}

// A watcher of the service keeps "Yedekle" and "Gizle"; without a service only "Gizle" is left.
TEST_F(ControlsTest, ControlAccessGreysTheSettingsThenTheButtonToo) {
    auto& w = window();
    std::vector<QWidget*> settings{w.chkYedek1, w.chkYedek2, w.chkYedek3, w.dtYedek1, w.dtyedek2, w.dtYedek3,
                                   w.udSakla,   w.chkKacan};
    settings.insert(settings.end(), w.txtKaynak.begin(), w.txtKaynak.end());
    settings.insert(settings.end(), w.txtHedef.begin(), w.txtHedef.end());
    for (const auto& [access, settingsOn, copyOn] : {std::tuple{ControlAccess::RunOnly, false, true},
                                                     std::tuple{ControlAccess::None, false, false},
                                                     std::tuple{ControlAccess::All, true, true}}) {
        w.setControlAccess(access);
        for (QWidget* c : settings) EXPECT_EQ(c->isEnabled(), settingsOn) << c->objectName().toStdString();
        EXPECT_EQ(w.cmdCopy->isEnabled(), copyOn);
        EXPECT_TRUE(w.cmdExit->isEnabled());
    }
}

TEST_F(ControlsTest, TabOrderReachesTheButtonsBeforeTheSecondPairAndTheLastRowLast) {
    auto& w = window();
    QWidget* expected[] = {w.txtKaynak[0], w.txtHedef[0], w.chkYedek1,    w.dtYedek1,    w.chkYedek2,
                           w.dtyedek2,     w.chkYedek3,   w.dtYedek3,     w.cmdCopy,     w.cmdExit,
                           w.txtKaynak[1], w.txtHedef[1], w.txtKaynak[2], w.txtHedef[2], w.txtKaynak[3],
                           w.txtHedef[3],  w.udSakla,     w.chkKacan};
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

TEST_F(ControlsTest, TheExtraRowSitsBelowEverythingElseWithTheCaptionsLook) {
    auto& w = window();
    EXPECT_EQ(w.lblSakla->text(), QStringLiteral("Saklanacak yedek say\u0131s\u0131 (0: hepsi):"));
    EXPECT_EQ(w.chkKacan->text(), QStringLiteral("Ka\u00e7an yede\u011fi a\u00e7\u0131l\u0131\u015fta al"));
    for (QWidget* c : std::initializer_list<QWidget*>{w.lblSakla, w.chkKacan}) {
        EXPECT_EQ(c->font(), w.Label1[0]->font()) << c->objectName().toStdString();
        EXPECT_EQ(c->palette().color(QPalette::Window), QColor(192, 192, 255));
        // Readable: the whole text fits where it is placed.
        EXPECT_LE(c->sizeHint().width(), c->width()) << c->objectName().toStdString();
        EXPECT_LE(c->geometry().right(), w.width());
    }
    EXPECT_FALSE(w.chkKacan->isTristate());
    EXPECT_EQ(w.udSakla->minimum(), 0);
    EXPECT_EQ(w.udSakla->maximum(), 999);
    EXPECT_EQ(w.udSakla->value(), 0);
    EXPECT_EQ(w.udSakla->font(), w.txtKaynak[0]->font());

    // Everything the window had before stays within its first 289 pixels; the row lies below,
    // inside the window, the controls side by side without overlapping.
    const std::vector<QWidget*> row = {w.lblSakla, w.udSakla, w.chkKacan, w.cmdEposta};
    EXPECT_EQ(w.cmdEposta->text(), QStringLiteral("Ayarlar..."));
    EXPECT_LE(w.cmdEposta->sizeHint().width(), w.cmdEposta->width());
    for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (c == w.lblSon || std::find(row.begin(), row.end(), c) != row.end() || !c->isVisibleTo(&w))
            continue;
        EXPECT_LE(c->geometry().bottom(), 288) << c->objectName().toStdString();
    }
    for (std::size_t i = 0; i < row.size(); ++i) {
        EXPECT_GE(row[i]->geometry().top(), 289);
        EXPECT_LE(row[i]->geometry().bottom(), w.height() - 1);
        if (i > 0) {
            EXPECT_LT(row[i - 1]->geometry().right(), row[i]->geometry().left());
        }
    }
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

TEST_F(ControlsTest, TimersTickOnlyOnceTheCopyStaysAndTimer1Never) {
    auto& w = window();
    for (IntervalTimer* t : {w.Timer1, w.Timer2, w.Timer3, w.Timer4, w.Timer5}) EXPECT_FALSE(t->isTicking());
    form().Form_Load();
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

// Each save rewrites the file; removing it shows whether one came.
TEST_F(ControlsTest, LeavingAnUnchangedTextBoxSavesOnce) {
    auto& w = window();
    form().Form_Load();
    w.show();
    QApplication::setActiveWindow(&w);
    w.txtHedef[2]->setFocus();
    QApplication::processEvents();
    std::filesystem::remove(settingsFile());
    w.txtKaynak[3]->setFocus();  // text untouched
    QApplication::processEvents();
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));
    std::filesystem::remove(settingsFile());
    QApplication::processEvents();
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(ControlsTest, SwitchesPickersAndTheRowSetByCodeRaiseTheirChangeHandlers) {
    auto& w = window();
    form().Form_Load();
    std::filesystem::remove(settingsFile());
    ASSERT_TRUE(setCheckValue(*w.chkYedek2, 0));
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));
    std::filesystem::remove(settingsFile());
    w.dtYedek3->setTime(QTime(12, 0, 30));
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));

    w.setKeepArchivesValue(1500);  // brought into the range
    EXPECT_EQ(w.keepArchivesValue(), 999);
    EXPECT_EQ(readFile(extraFile()), "SaklanacakYedek=999\r\nKacanYedek=0\r\n");
    w.setMissedRunValue(1);
    EXPECT_TRUE(w.chkKacan->isChecked());
    EXPECT_EQ(readFile(extraFile()), "SaklanacakYedek=999\r\nKacanYedek=1\r\n");
}

}  // namespace
}  // namespace zel::test
