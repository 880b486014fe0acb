#include "engine/source_listing.h"
#include "platform/files/path_map.h"
#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

// Pair 1 backs up a folder with a file; the other pairs have no source; every switch is off.
class ScheduleTest : public WindowTest {
protected:
    void SetUp() override {
        view.setSourceText(0, sourceWithAFile());
        form().Form_Load();
        for (int i = 1; i < 4; ++i) view.setSourceText(i, "");
        for (int k = 0; k < 3; ++k) view.setSwitchValue(k, 0);
        view.said.clear();
    }
    void slot(int k, int on, TimeOfDay t) {
        view.setSwitchValue(k, on);
        view.setPickerTime(k, t);
    }
    void tickAt(int h, int m, int s) {
        clock.set({2024, 3, 5, h, m, s});
        form().Timer2_Timer();
    }
    std::size_t runs() const { return zip.lines.size(); }
};

TEST_F(ScheduleTest, SlotRunsInItsSecondShownAndHiddenAgain) {
    slot(0, 1, {5, 0, 0});
    tickAt(4, 59, 59);
    EXPECT_EQ(view.caption(Caption::lblTime), "04:59:59");
    zip.slices = 1;
    bool shownDuring = false;
    zip.onSlice = [&] { shownDuring = view.visible && !view.copy; };
    tickAt(5, 0, 0);
    EXPECT_EQ(runs(), 1u);
    EXPECT_TRUE(shownDuring);
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(form().windowState(), 1);
    tickAt(5, 0, 1);
    EXPECT_EQ(runs(), 1u);
}

TEST_F(ScheduleTest, LateTickStartsTheRunOfTheSecondItSkipped) {
    slot(2, 2, {12, 0, 30});  // grey counts as on
    tickAt(12, 0, 29);
    tickAt(12, 0, 31);
    EXPECT_EQ(runs(), 1u);
    EXPECT_EQ(view.caption(Caption::lblTime), "12:00:31");
}

// A tick minutes late (the program stalled or slept) passed the slot's second: a missed backup,
// told at once and made up a minute later when the window says so.
TEST_F(ScheduleTest, ASlotPassedInAStallIsToldAndMadeUp) {
    slot(0, 1, {5, 0, 0});
    view.setMissedRunValue(1);
    tickAt(4, 59, 0);
    tickAt(5, 3, 0);
    EXPECT_EQ(runs(), 0u);
    EXPECT_EQ(view.warnings, std::vector<std::string>{"ZEL Yedek: Kaçırılan yedekleme: 05:00:00"});
    EXPECT_NE(readFile(logFile()).find("Kaçırılan yedekleme: 05:00:00"), std::string::npos);
    for (int s = 1; s < kMissedRunDelayTicks; ++s) tickAt(5, 3, s);
    EXPECT_EQ(runs(), 0u);
    tickAt(5, 4, 0);
    EXPECT_EQ(runs(), 1u);
    tickAt(9, 0, 0);  // a stall with no slot in it tells nothing
    EXPECT_EQ(view.warnings.size(), 1u);
}

TEST_F(ScheduleTest, SlotDueDuringARunStartsNothingAlsoAfterIptal) {
    slot(0, 1, {6, 0, 0});
    clock.set({2024, 3, 5, 5, 59, 59});
    zip.slices = 2;
    int slice = 0;
    zip.onSlice = [&] {
        if (++slice == 1) form().cmdExit_Click();  // "İptal": Yedekle usable again
        if (slice == 2) tickAt(6, 0, 0);           // due while the run waits
    };
    form().cmdCopy_Click();
    EXPECT_EQ(runs(), 1u);
    tickAt(6, 0, 1);
    EXPECT_EQ(runs(), 1u);
}

// A backup that fails says so: in the run log, with a warning at the icon, and not in the history.
TEST_F(ScheduleTest, FailedScheduledRunIsLoggedWarnedAndNeverRecorded) {
    view.setTargetText(0, drives.text('c', "silinen\\yedek"));  // its folder was removed
    zip.code = 15;
    slot(1, 1, {2, 0, 0});
    tickAt(2, 0, 0);
    ASSERT_TRUE(view.runPostedUntil([&] { return readFile(logFile()).find("kaydı") != std::string::npos; }));
    const std::string log = readFile(logFile());
    EXPECT_NE(log.find("2024-03-05 02:00:00  Yedekleme başladı (zamanlama 2, 02:00:00)"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Yedekleme başarısız: " + view.sourceText(0) + " -> " + view.targetText(0) +
                       "\\yedek20240305.0200.zip (zip hata kodu 15"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Yedekleme kaydı yazılmadı: başarısız bir klasör çifti var: " + view.sourceText(0) +
                       " -> " + view.targetText(0)),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Yedekleme bitti"), std::string::npos) << log;
    ASSERT_EQ(view.warnings.size(), 1u);
    EXPECT_EQ(view.warnings[0], "ZEL Yedek: Yedekleme başarısız: " + view.sourceText(0) + " -> " +
                                    view.targetText(0) + " (zip hata kodu 15)");

    // Once the folder is back the next run is good, and a good run shows nothing.
    fs::create_directories(drives.drive('c') / "silinen" / "yedek");
    zip.code = 0;
    form().cmdCopy_Click();
    EXPECT_EQ(view.warnings.size(), 1u);
    EXPECT_NE(readFile(logFile()).find("Yedekle düğmesi"), std::string::npos);
}

// The history must not show a backup whose first folder was never saved, whatever came after it.
TEST_F(ScheduleTest, AFailedPairKeepsAnArchivedOneOutOfTheHistory) {
    view.setTargetText(0, drives.text('c', "silinen\\yedek"));  // zip can make nothing there
    view.setSourceText(1, view.sourceText(0));
    view.setTargetText(1, drives.text('c', "ikinci"));
    form().cmdCopy_Click();
    const std::string log = readFile(logFile());
    EXPECT_NE(log.find("Arşivlendi: " + view.sourceText(1) + " -> "), std::string::npos) << log;
    EXPECT_NE(log.find("Yedekleme kaydı yazılmadı: başarısız bir klasör çifti var: " + view.sourceText(0) +
                       " -> " + view.targetText(0)),
              std::string::npos)
        << log;
}

// udSakla's number of archives stays in each target; each deletion is in the run log.
TEST_F(ScheduleTest, OldArchivesBeyondUdSaklaGoAndTheLogNamesThem) {
    const fs::path t = drives.drive('c') / "tarvel-yedek";
    // Earlier archives of the same source, named as this system's zip names it, and a file of
    // somebody else's.
    const std::string earlier =
        zipArchive({{zipEntryPrefix(view.sourceText(0), nativeZipNaming()) + "/veri.txt", "eski"}});
    for (const char* old : {"tarvel-yedek20240301.0500.zip", "tarvel-yedek20240302.0500.zip"}) writeFile(t / old, earlier);
    writeFile(t / "notlar.zip", "eski");
    view.setKeepArchivesValue(2);
    clock.set({2024, 3, 5, 10, 0, 0});
    form().cmdCopy_Click();
    const std::string log = readFile(logFile());
    EXPECT_NE(log.find("Eski yedek silindi: " + view.targetText(0) + "\\tarvel-yedek20240301.0500.zip"),
              std::string::npos)
        << log;
    EXPECT_TRUE(fs::exists(t / "tarvel-yedek20240302.0500.zip"));
    EXPECT_TRUE(fs::exists(t / "notlar.zip"));
    EXPECT_FALSE(fs::exists(t / "tarvel-yedek20240301.0500.zip"));
}

// What every run would repeat is told once a day: a missing source, a target inside its source.
TEST_F(ScheduleTest, RepeatedNoticesAreToldOnceADay) {
    view.setSourceText(1, drives.text('c', "cikarilan"));  // an unplugged folder
    view.setTargetText(0, view.sourceText(0) + "\\yedek");
    // A clock set back: an archive named in 2030 stays, and so does every older one.
    writeFile(fs::path(drives.root()) / "c" / "brevund" / "belgeler" / "yedek" / "yedek20300101.0000.zip", "PK");
    writeFile(fs::path(drives.root()) / "c" / "brevund" / "belgeler" / "yedek" / "yedek20240301.0000.zip", "PK");
    view.setKeepArchivesValue(1);
    for (int day : {5, 5, 6}) {
        clock.set({2024, 3, day, 10, 0, 0});
        form().cmdCopy_Click();
    }
    auto count = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };
    std::string warnings;
    for (const std::string& w : view.warnings) warnings += w + "\n";
    EXPECT_EQ(count(warnings, "Kaynak klasör yok, atlandı: " + view.sourceText(1)), 2u) << warnings;
    EXPECT_EQ(count(warnings, "Hedef klasör kaynağın içinde: " + view.sourceText(0)), 2u) << warnings;
    EXPECT_EQ(count(warnings, "Saat geri gitmiş görünüyor: " + view.targetText(0) +
                                  "\\yedek20300101.0000.zip şimdiden sonra; eski yedekler silinmedi"),
              2u)
        << warnings;
    EXPECT_TRUE(fs::exists(fs::path(drives.root()) / "c" / "brevund" / "belgeler" / "yedek" / "yedek20240301.0000.zip"));
    const std::string log = readFile(logFile());
    EXPECT_EQ(count(log, "Hedef klasör kaynağın içinde"), 2u) << log;
    EXPECT_EQ(count(log, "Kaynak klasör yok, atlandı"), 3u) << log;  // the line itself comes every run
}

// A slot enabled but no verified archive for longer than its gap plus two hours: told once a day
// at the next look (and to the system's log); with every slot off, never.
TEST_F(ScheduleTest, BackupsThatStoppedAreToldOnceADay) {
    writeFile(drives.drive('c') / "tarvel-yedek" / "tarvel-yedek20240304.0500.zip", "PK");
    slot(0, 1, {5, 0, 0});
    const auto look = [&](LocalDateTime at) {
        clock.set(at);
        for (int i = 0; i < kOverdueCheckTicks; ++i) form().Timer2_Timer();
    };
    look({2024, 3, 5, 7, 0, 0});  // 26 hours: not yet
    EXPECT_TRUE(view.warnings.empty());
    look({2024, 3, 5, 8, 0, 0});
    look({2024, 3, 5, 9, 0, 0});
    const std::string told = "Son başarılı yedek 27 saat önce alındı";
    EXPECT_EQ(view.warnings, std::vector<std::string>{"ZEL Yedek: " + told});
    ASSERT_FALSE(systemLog.events.empty());
    EXPECT_EQ(systemLog.events.back(), std::make_pair(SystemEvent::Warning, told));
    slot(0, 0, {5, 0, 0});
    look({2024, 3, 6, 9, 0, 0});
    EXPECT_EQ(view.warnings.size(), 1u);
    EXPECT_EQ(runs(), 0u);
}

}  // namespace
}  // namespace zel::test
