#include "window/fleet_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "engine/backup_rules.h"
#include "platform/files/native_file_system.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

struct FleetWatchTest : ::testing::Test {
    TempDrives drives;
    NativeFileSystem files{PathMap(drives.root().string())};
    FakeClock clock{{2024, 3, 5, 9, 7, 0}};
    std::vector<std::string> logged, warned;
    FleetWatch watch{FleetWatchParts{files, clock, "1.2.3", true, {}, [](std::function<void()> call) { call(); },
                                     [this](const std::string& l) { logged.push_back(l); },
                                     [this](const std::string& w) { warned.push_back(w); }}};

    void putArchive(const std::string& target, const LocalDateTime& at) {
        const fs::path folder = drives.drive('c') / target;
        fs::create_directories(folder);
        std::ofstream(folder / archiveName(drives.text('c', target), at)) << "zip";
    }
    MachineFigures figures() const {
        MachineFigures f;
        f.pairs[0] = {drives.text('c', "veri"), drives.text('c', "yedek")};
        f.pairs[2] = {drives.text('c', "belge"), drives.text('c', "yedek2")};
        f.lastRecorded = true;
        f.warningsHeld = 2;
        f.schedule[1] = {1, {22, 30, 0}};
        f.schedule[2] = {1, {8, 0, 0}};
        return f;
    }
};

// The target's newest archive is the last success until a run of this program brings a newer
// one; a failed run after it leaves it standing.
TEST_F(FleetWatchTest, PairFiguresComeFromTheTargetAndThisProgramsRuns) {
    const std::int64_t now = clock.unixSeconds();
    putArchive("yedek", {2024, 3, 4, 22, 30, 0});
    putArchive("yedek", {2024, 3, 5, 8, 0, 0});
    putArchive("yedek", {2024, 3, 6, 8, 0, 0});  // ahead of the clock: not a success
    MetricsFacts f = watch.facts(figures());
    ASSERT_EQ(f.pairs.size(), 2u);
    EXPECT_EQ(f.pairs[0].pair, 1);
    EXPECT_EQ(f.pairs[0].lastSuccess, now - 67 * 60);
    EXPECT_EQ(f.pairs[0].archivesKept, 2u);
    EXPECT_FALSE(f.pairs[0].lastRun);
    EXPECT_EQ(f.pairs[1].pair, 3);
    EXPECT_FALSE(f.pairs[1].lastSuccess);
    EXPECT_EQ(f.lastHistoryRecordSucceeded, true);
    EXPECT_EQ(f.warningsHeld, 2u);
    EXPECT_EQ(f.nextSlot, now + (22 * 60 + 30 - 9 * 60 - 7) * 60);
    EXPECT_TRUE(f.service);

    // Pair 1 archived at 09:10, then failed at 09:20.
    const auto ran = [&](PairOutcome::Kind kind, std::uint64_t bytes, double seconds, int minute) {
        PairOutcome o;
        o.kind = kind;
        o.archiveBytes = bytes;
        o.seconds = seconds;
        clock.set({2024, 3, 5, 9, minute, 0});
        watch.pairDone(o);
        return watch.facts(figures()).pairs[0];
    };
    PairMetrics p = ran(PairOutcome::Kind::Archived, 367, 2.5, 10);
    EXPECT_EQ(p.lastSuccess, now + 180);
    EXPECT_EQ(p.lastRun, now + 180);
    EXPECT_EQ(p.lastRunSucceeded, true);
    EXPECT_EQ(p.lastArchiveBytes, 367u);
    p = ran(PairOutcome::Kind::Damaged, 400, 1, 20);
    EXPECT_EQ(p.lastSuccess, now + 180);
    EXPECT_EQ(p.lastRun, now + 780);
    EXPECT_EQ(p.lastRunSucceeded, false);
    EXPECT_EQ(p.lastArchiveBytes, 367u);  // the last verified archive's
    EXPECT_EQ(p.lastRunSeconds, 1.0);
}

TEST_F(FleetWatchTest, TheFileIsReplacedWholeAndAFolderThatCannotBeWrittenIsWarnedOnceADay) {
    watch.writeMetrics(figures());  // off: nothing written, nothing said
    EXPECT_TRUE(logged.empty());

    fs::create_directories(drives.drive('c') / "metrik");
    watch.setSettings({drives.text('c', "metrik") + "\\", ""});
    watch.writeMetrics(figures());
    std::ifstream in(drives.drive('c') / "metrik" / "zelyedek.prom", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("zelyedek_info{version=\"1.2.3\",mode=\"service\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("zelyedek_up 1\n"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(drives.drive('c') / "metrik"), fs::directory_iterator()), 1);
    EXPECT_TRUE(logged.empty());

    watch.setSettings({drives.text('c', "yok"), ""});
    watch.writeMetrics(figures());
    watch.writeMetrics(figures());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("Metrik dosyası yazılamadı: " + drives.text('c', "yok") + "\\zelyedek.prom"),
              std::string::npos);
    EXPECT_EQ(warned, logged);
    clock.set({2024, 3, 6, 9, 7, 0});
    watch.writeMetrics(figures());
    EXPECT_EQ(warned.size(), 2u);
    EXPECT_EQ(logged.size(), 1u);
}

TEST_F(FleetWatchTest, TheLastFileWrittenSaysTheProgramHasEnded) {
    fs::create_directories(drives.drive('c') / "metrik");
    FleetWatch ending{FleetWatchParts{files, clock, "1.2.3", false, {}, {}, {}, {}}};
    ending.setSettings({drives.text('c', "metrik"), ""});
    ending.writeMetrics(figures());
    ending.end();
    ending.writeMetrics(figures());  // nothing after the end
    const std::string text = readFile(drives.drive('c') / "metrik" / "zelyedek.prom");
    EXPECT_NE(text.find("zelyedek_up 0\n"), std::string::npos);
    EXPECT_NE(text.find("zelyedek_warnings_held 2\n"), std::string::npos);  // the figures as they stood
}

// The run's start and end go to the address; one that cannot be used is told once a day, never sent.
TEST_F(FleetWatchTest, RunsArePingedAtTheAddressAndAnUnusableOneIsToldOnce) {
    std::mutex mutex;
    std::vector<std::string> sent;
    {
        FleetWatch pinging{FleetWatchParts{files, clock, "1.2.3", false,
                                           [&](const std::string& url, const std::string& body, const std::atomic<bool>&) {
                                               std::lock_guard lock(mutex);
                                               sent.push_back(url + " " + body);
                                               return PingSent{true, "HTTP 200"};
                                           },
                                           [](std::function<void()> call) { call(); },
                                           [this](const std::string& l) { logged.push_back(l); }, {}}};
        pinging.setSettings({"", "https://hc-ping.com/abc/"});
        pinging.runStarted();
        pinging.runEnded(true, {"Yedekleme başarısız: c:\\veri -> c:\\yedek"});
        pinging.runEnded(false, {"Yedekleme kaydı veritabanına yazıldı"});
        pinging.setSettings({"", "hc-ping.com/abc"});
        pinging.runStarted();
        pinging.runStarted();
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"https://hc-ping.com/abc/start ",
                                              "https://hc-ping.com/abc/fail Yedekleme başarısız: c:\\veri -> c:\\yedek\n",
                                              "https://hc-ping.com/abc Yedekleme kaydı veritabanına yazıldı\n"}));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("İzleme adresi kullanılamıyor: ", 0), 0u) << logged[0];
}

}  // namespace
}  // namespace zel::test
