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

// Pairs 1 and 3 in use, two slots on; pings are noted as "<url> <body>".
struct FleetWatchTest : ::testing::Test {
    TempDrives drives;
    NativeFileSystem files{PathMap(drives.root().string())};
    FakeClock clock{{2024, 3, 5, 9, 7, 0}};
    std::vector<std::string> logged, warned, sent;
    std::mutex sending;
    FleetWatch watch{FleetWatchParts{
        files, clock, "1.2.3", true,
        [this](const std::string& url, const std::string& body, const std::atomic<bool>&) {
            std::lock_guard lock(sending);
            sent.push_back(url + " " + body);
            return PingSent{true, "HTTP 200"};
        },
        [](std::function<void()> call) { call(); }, [this](const std::string& l) { logged.push_back(l); },
        [this](const std::string& w) { warned.push_back(w); }}};

    void putArchive(const LocalDateTime& at) {
        fs::create_directories(drives.drive('c') / "yedek");
        std::ofstream(drives.drive('c') / "yedek" / archiveName(drives.text('c', "yedek"), at)) << "zip";
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
    putArchive({2024, 3, 4, 22, 30, 0});
    putArchive({2024, 3, 5, 8, 0, 0});
    putArchive({2024, 3, 6, 8, 0, 0});  // ahead of the clock: not a success
    MetricsFacts f = watch.facts(figures());
    ASSERT_EQ(f.pairs.size(), 2u);
    EXPECT_EQ(f.pairs[0].lastSuccess, now - 67 * 60);
    EXPECT_EQ(f.pairs[0].archivesKept, 2u);
    EXPECT_FALSE(f.pairs[0].lastRun);
    EXPECT_EQ(f.pairs[1].pair, 3);
    EXPECT_FALSE(f.pairs[1].lastSuccess);
    EXPECT_EQ(f.nextSlot, now + (22 * 60 + 30 - 9 * 60 - 7) * 60);

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
    EXPECT_EQ(p.lastArchiveBytes, 367u);
    p = ran(PairOutcome::Kind::Damaged, 400, 1, 20);
    EXPECT_EQ(p.lastSuccess, now + 180);
    EXPECT_EQ(p.lastRun, now + 780);
    EXPECT_EQ(p.lastRunSucceeded, false);
    EXPECT_EQ(p.lastArchiveBytes, 367u);  // the last verified archive's
    EXPECT_EQ(p.lastRunSeconds, 1.0);
}

// The file in the text format, replaced whole; a folder that cannot be written is logged once and warned once a day;
// at the end the figures as they stood, with zelyedek_up 0, and nothing after.
TEST_F(FleetWatchTest, TheFileIsWrittenWholeWarnedAboutOnceADayAndSaysWhenTheProgramEnded) {
    watch.writeMetrics(figures());  // off: nothing written, nothing said
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(prometheusLabelValue("a\"b\nc\\"), "a\\\"b\\nc\\\\");

    const fs::path folder = drives.drive('c') / "metrik";
    fs::create_directories(folder);
    watch.setSettings({drives.text('c', "metrik") + "\\", ""});
    watch.writeMetrics(figures());
    watch.writeMetrics(figures());
    std::string text = readFile(folder / "zelyedek.prom");
    // Each metric's help and type once (node_exporter refuses the file otherwise), pair 3 known only by its folder.
    const std::string type = "# TYPE zelyedek_archives_kept gauge\n";
    EXPECT_EQ(text.find(type), text.rfind(type));
    EXPECT_EQ(text.find("zelyedek_last_success_timestamp_seconds{pair=\"3\""), std::string::npos);
    EXPECT_NE(text.find("zelyedek_up 1\n"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

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

    watch.setSettings({drives.text('c', "metrik"), ""});
    watch.writeMetrics(figures());
    watch.end();
    watch.writeMetrics(figures());
    text = readFile(folder / "zelyedek.prom");
    EXPECT_NE(text.find("zelyedek_up 0\n"), std::string::npos);
    EXPECT_NE(text.find("zelyedek_warnings_held 2\n"), std::string::npos);
}

// A run's end goes to the address with its lines; one that cannot be used is told once a day, never sent.
TEST_F(FleetWatchTest, RunsArePingedAtTheAddressAndAnUnusableOneIsToldOnce) {
    watch.setSettings({"", "https://hc-ping.com/abc/"});
    watch.runEnded(true, {"Yedekleme başarısız"});
    watch.setSettings({"", "hc-ping.com/abc"});
    watch.runStarted();
    watch.runStarted();
    watch.end();
    EXPECT_EQ(sent, std::vector<std::string>{"https://hc-ping.com/abc/fail Yedekleme başarısız\n"});
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("İzleme adresi kullanılamıyor: ", 0), 0u) << logged[0];
}

}  // namespace
}  // namespace zel::test
