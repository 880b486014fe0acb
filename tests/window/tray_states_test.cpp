#include <atomic>

#include "support/core/window_fixture.h"
#include "window/tray_messages.h"

namespace zel::test {
namespace {

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

class TrayStatesTest : public WindowTest {
protected:
    void SetUp() override {
        form().Form_Load();
        form().Form_Activate();  // the first show
        view.said.clear();
    }
};

TEST_F(TrayStatesTest, ActivationAddsTheIconAndTimer3HidesTheWindowOnce) {
    EXPECT_TRUE(view.trayPresent);
    EXPECT_EQ(view.intervals[3], 1000);
    form().Timer3_Timer();
    EXPECT_EQ(view.said, (std::vector<std::string>{"state 1", "hide"}));
    EXPECT_EQ(view.intervals[3], 0);
    EXPECT_EQ(form().windowState(), 1);
}

TEST_F(TrayStatesTest, TrayMessagesFromMouseMoves) {
    struct Case {
        int message;
        std::vector<std::string> said;
    };
    for (const Case& c : {Case{515, {"state 0", "front", "show"}}, Case{517, {"front", "menu"}},
                          Case{512, {}}, Case{513, {}}, Case{514, {}}, Case{516, {}}, Case{518, {}}}) {
        view.said.clear();
        form().Form_MouseMove(0, 0, c.message * 15.0, 0);
        EXPECT_EQ(view.said, c.said) << c.message;
    }
}

TEST_F(TrayStatesTest, HidingAndShowingKeepTheProgramAndItsIcon) {
    int cancel = 0;
    form().Form_Unload(cancel);
    EXPECT_EQ(cancel, 1);
    EXPECT_FALSE(view.visible);
    form().mnuRestore_Click();
    EXPECT_TRUE(view.visible);
    form().cmdExit_Click();  // "Gizle"
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(form().windowState(), 1);
    EXPECT_TRUE(view.trayPresent);
    EXPECT_EQ(view.ends, 0);
}

TEST_F(TrayStatesTest, SettingTheStateHidesBeforeItReturns) {
    form().setWindowState(1);
    EXPECT_EQ(view.said, (std::vector<std::string>{"state 1", "hide"}));
    form().setWindowState(0);
    EXPECT_EQ(form().windowState(), 0);
}

TEST_F(TrayStatesTest, KapatDeletesTheIconThenEnds) {
    form().mnuExit_Click();
    EXPECT_EQ(view.said, (std::vector<std::string>{"tray delete", "end"}));
}

TEST_F(TrayStatesTest, Timer4ReAddsWithGrowingIntervalsAndStopsAfterTheFifth) {
    EXPECT_EQ(view.intervals[4], 30000);
    const int before = view.trayAdds;
    for (int expected : {30000, 60000, 300000, 900000, 0}) {
        form().Timer4_Timer();
        EXPECT_EQ(view.intervals[4], expected);
    }
    EXPECT_EQ(view.trayAdds, before + 5);
}

TEST_F(TrayStatesTest, IptalEnablesYedekleAndStopsFurtherPairs) {
    zip.slices = 2;
    bool pressed = false;
    zip.onSlice = [&] {
        if (pressed) return;
        pressed = true;
        EXPECT_EQ(view.caption(Caption::cmdExit), "İptal");
        form().cmdExit_Click();
        EXPECT_TRUE(view.copy);
        EXPECT_EQ(view.caption(Caption::cmdExit), "Gizle");
        EXPECT_TRUE(form().cancelRequested());
    };
    view.setSourceText(0, sourceWithAFile());
    for (int i = 1; i < 4; ++i) view.setSourceText(i, view.sourceText(0));
    form().cmdCopy_Click();
    EXPECT_EQ(zip.lines.size(), 1u);  // the running zip finished; no further pair started
}

// The end of a session and "&Kapat" both keep a folder box that was typed into and never left.
TEST_F(TrayStatesTest, SessionEndAndKapatSaveTheFocusedBoxDeleteTheIconAndEnd) {
    struct Case {
        std::optional<FolderBox> focused;
        int savedLine;  // of the typed text in the file, 0 when no box is saved
    };
    for (void (frmMain::*end)() : {&frmMain::sessionEnding, &frmMain::mnuExit_Click}) {
        for (const Case& c :
             {Case{std::nullopt, 0}, Case{FolderBox{true, 2}, 5}, Case{FolderBox{false, 1}, 4}}) {
            SCOPED_TRACE(end == &frmMain::sessionEnding ? "session end" : "Kapat");
            std::filesystem::remove(settingsFile());
            view.said.clear();
            view.sources[2] = view.targets[1] = "c:\\yazildi";  // typed, no Tab yet
            view.focused = c.focused;
            (form().*end)();
            EXPECT_EQ(view.said, (std::vector<std::string>{"tray delete", "end"}));
            if (c.savedLine == 0) {
                EXPECT_FALSE(std::filesystem::exists(settingsFile()));
                continue;
            }
            const std::string text = readFile(settingsFile());
            std::size_t at = 0;
            for (int line = 1; line < c.savedLine; ++line) at = text.find("\r\n", at) + 2;
            EXPECT_EQ(text.compare(at, 11, "c:\\yazildi\r"), 0) << text;
        }
    }
    EXPECT_NE(readFile(logFile()).find("Oturum kapanıyor: program sona erdi\r\n"), std::string::npos);
}

// The pair named is the one being worked on, whatever the pairs before it did or did not report.
TEST_F(TrayStatesTest, SessionEndDuringARunNamesThePairWhoseBackupIsNotRecorded) {
    zip.slices = 2;
    view.setSourceText(0, drives.text('c', "yok"));  // skipped, and reported
    view.setSourceText(1, "");                       // empty: reports nothing
    view.setSourceText(2, sourceWithAFile());        // its zip is the one running
    view.setSourceText(3, "");
    view.setTargetText(2, drives.text('c', "ucuncu"));
    zip.onSlice = [&] {
        if (view.ends == 0) form().sessionEnding();
    };
    form().cmdCopy_Click();
    // zip is ended, and what it wrote was never read back: no .zip is left of it.
    EXPECT_NE(readFile(logFile()).find("Oturum kapanıyor: program sona erdi; yarıda kalan yedekleme kaydedilmedi: " +
                                       view.sources[2] + " -> " + view.targets[2] +
                                       " (zip durduruldu, denetlenmemiş arşiv: " + view.targets[2] +
                                       "\\ucuncu20240305.0907.zip.eksik)\r\n"),
              std::string::npos)
        << readFile(logFile());
}

// Its database steps at start-up go on while its message is open: their outcome is not logged.
TEST_F(WindowTest, ACopyThatGivesWayEndsWithTheSessionWithoutALogLine) {
    std::atomic<int> opened{0};
    connections = [&] {
        ++opened;
        return std::make_unique<NoDatabase>();
    };
    instance.anotherRuns = true;
    view.whileMessageOpen = [&] {
        ASSERT_TRUE(view.runPostedUntil([&] { return opened > 0; }));
        view.runPostedUntil([] { return false; }, std::chrono::milliseconds(300));
        form().sessionEnding();
    };
    form().Form_Load();
    EXPECT_EQ(view.ends, 2);
    EXPECT_FALSE(std::filesystem::exists(logFile()));
}

}  // namespace
}  // namespace zel::test
