#include <condition_variable>
#include <mutex>

#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

using StartUpTest = WindowTest;

TEST_F(StartUpTest, FirstStartShowsTheDefaultsWritesNothingAndStartsTheTimers) {
    form().Form_Load();
    ASSERT_TRUE(fs::exists(settingsFile()));
    EXPECT_EQ(fs::file_size(settingsFile()), 0u);
    EXPECT_EQ(view.switches, (std::array<int, 3>{1, 1, 1}));
    EXPECT_EQ(view.times[1], (TimeOfDay{17, 0, 0}));
    EXPECT_TRUE(form().settingsLoaded());
    EXPECT_EQ(view.intervals, (std::array<int, 6>{0, 0, 1000, 0, 30000, 10000}));
}

TEST_F(StartUpTest, SecondCopySaysSoAsksTheFirstToShowItselfAndEnds) {
    writeFile(settingsFile(), "c:\\k\r\n");
    instance.anotherRuns = true;
    bool askedBeforeOk = true;
    view.whileMessageOpen = [&] { askedBeforeOk = instance.asked > 0; };
    form().Form_Load();
    EXPECT_FALSE(askedBeforeOk);
    EXPECT_EQ(instance.asked, 1);
    EXPECT_EQ(view.caption(Caption::frmMain), "()*!@#(*");
    // The close request is refused as always (minimised, hidden), then the immediate end.
    EXPECT_EQ(view.said, (std::vector<std::string>{"message Program zaten çalışıyor!", "close", "state 1",
                                                   "hide", "end"}));
    // No timer ever ticks in it, no icon, and its settings are neither read nor written.
    EXPECT_EQ(view.intervals, (std::array<int, 6>{}));
    EXPECT_EQ(view.trayAdds, 0);
    EXPECT_FALSE(form().settingsLoaded());
    EXPECT_EQ(view.sourceText(0), drives.text('c', "brevund"));
    EXPECT_EQ(readFile(settingsFile()), "c:\\k\r\n");
}

TEST_F(StartUpTest, TheCopyThatStaysShowsItselfWhenAskedAlsoDuringARun) {
    view.setSourceText(0, sourceWithAFile());
    form().Form_Load();
    form().setWindowState(1);
    ASSERT_TRUE(instance.onShow);
    instance.onShow();
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(form().windowState(), 0);

    form().setWindowState(1);
    zip.slices = 2;
    bool shownDuringTheRun = false;
    zip.onSlice = [&] {
        if (!shownDuringTheRun) instance.onShow();
        shownDuringTheRun = view.visible && !view.copy;
    };
    form().cmdCopy_Click();
    EXPECT_TRUE(shownDuringTheRun);
    EXPECT_TRUE(view.copy);
    EXPECT_FALSE(form().archiveName().empty());
}

// A server that does not answer: opening waits until the test lets it go, then fails.
struct HungDatabase final : DatabaseConnection {
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        bool entered = false;
    };
    explicit HungDatabase(std::shared_ptr<Gate> g) : gate(std::move(g)) {}
    void open(const std::string&) override {
        std::unique_lock lock(gate->m);
        gate->entered = true;
        gate->cv.notify_all();
        gate->cv.wait(lock, [this] { return gate->open; });
        throw DatabaseError("timeout expired", "HYT00");
    }
    int state() const override { return 0; }
    QueryResult execute(const std::string&) override { throw DatabaseError("closed", "08003"); }
    std::shared_ptr<Gate> gate;
};

TEST_F(StartUpTest, HungServerKeepsNeitherTheWindowNorTheIconNorThePollWaiting) {
    auto gate = std::make_shared<HungDatabase::Gate>();
    connections = [gate] { return std::make_unique<HungDatabase>(gate); };
    form().Form_Load();  // returns although the opening it asked for never ends
    {
        std::unique_lock lock(gate->m);
        ASSERT_TRUE(gate->cv.wait_for(lock, std::chrono::seconds(10), [&] { return gate->entered; }));
    }
    EXPECT_TRUE(form().settingsLoaded());
    form().Form_Activate();
    EXPECT_TRUE(view.trayPresent);
    clock.set({2026, 12, 7, 14, 5, 9});
    form().Timer5_Timer();  // a poll waits behind the opening instead of holding the window
    EXPECT_EQ(view.caption(Caption::lblInfo), "Status Check 14:05:09");
    {
        std::lock_guard lock(gate->m);
        gate->open = true;
    }
    gate->cv.notify_all();
}

TEST_F(StartUpTest, WithoutADatabaseABackupStillFinishes) {
    view.setSourceText(0, sourceWithAFile());
    form().Form_Load();
    form().cmdCopy_Click();  // the record fails quietly
    EXPECT_TRUE(view.copy);
    EXPECT_FALSE(view.caption(Caption::lblSon).empty());
    EXPECT_FALSE(form().archiveName().empty());
}

// Started at 09:30 with the archive of yesterday's 17:00 run: the 05:00 slot was missed, also
// beside an archive named by a clock once set to 2030. Without any archive it is a new setup, and
// nothing is said.
TEST_F(StartUpTest, ASlotMissedWhileNotRunningIsToldAtTheStart) {
    clock.set({2024, 3, 5, 9, 30, 0});
    for (bool archived : {false, true}) {
        if (archived) {
            writeFile(drives.drive('c') / "tarvel-yedek" / "tarvel-yedek20240304.1700.zip", "PK");
            writeFile(drives.drive('c') / "tarvel-yedek" / "tarvel-yedek20300101.0000.zip", "PK");
        }
        view.warnings.clear();
        form().Form_Load();
        form().Form_Activate();
        const std::string log = fs::exists(logFile()) ? readFile(logFile()) : "";
        const std::string text = "Kaçırılan yedekleme: 05:00:00 (son yedek 2024-03-04 17:00)";
        EXPECT_EQ(log.find(text) != std::string::npos, archived) << log;
        EXPECT_EQ(view.warnings,
                  archived ? std::vector<std::string>{"ZEL Yedek: " + text} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace zel::test
