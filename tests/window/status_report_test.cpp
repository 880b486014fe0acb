#include "window/status_report.h"

#include <gtest/gtest.h>

#include "service/start_mode.h"

namespace zel {
namespace {

TEST(StatusReport, OneLineEachWithTheNextSlotTheDatabaseAndTheLogLast) {
    MachineStatus s;
    s.lastBackup = "Son Yedekleme Tarihi: \r\n5 3 2024 09:07:00   ";
    s.lastOutcome = "Yedekleme kaydı yazıldı";
    s.schedule = {{{1, {5, 0, 0}}, {0, {9, 30, 0}}, {1, {22, 0, 0}}}};
    s.databaseConnected = false;
    s.databaseError = "bağlantı reddedildi";
    s.recentLog = {"2024-03-05 09:07:00  Yedekleme bitti"};
    s.lastRecorded = true;
    s.warnings = {{{2024, 3, 5, 5, 0, 0}, "Disk dolmak üzere:\r\nd:\\"}};
    EXPECT_EQ(
        statusLines(s, {2024, 3, 5, 9, 8, 0}),
        (std::vector<std::string>{"UYARI: Disk dolmak üzere: d:\\ | son_yedek_yas=U;64800;68400;0 uyari=1;;;0",
                                  "Son yedekleme: Son Yedekleme Tarihi: 5 3 2024 09:07:00",
                                  "Son sonuç: Yedekleme kaydı yazıldı", "Sonraki yedekleme: 22:00:00 (bugün)",
                                  "Veritabanı: bağlı değil: bağlantı reddedildi", "Yedekleme: beklemede",
                                  "Son 24 saatin uyarıları:", "  2024-03-05 05:00  Disk dolmak üzere: d:\\",
                                  "Son günlük satırları:", "  2024-03-05 09:07:00  Yedekleme bitti"}));
}

// The first line and the exit code, as a monitoring system reads them: a failure outweighs
// warnings, which outweigh a good last run.
TEST(StatusReport, TheSummaryGivesTheWorstStateAndItsCode) {
    const HeldWarning disk{{2024, 3, 5, 5, 0, 0}, "Disk dolmak üzere"};
    struct Case {
        const char* name;
        std::optional<bool> recorded;
        std::optional<std::string> overdue;
        std::deque<HeldWarning> warnings;
        std::optional<LocalDateTime> newest;
        StatusSummary expected;
        std::optional<std::string> remoteOverdue = {};
    };
    const std::vector<Case> cases{
        {"recorded", true, {}, {}, LocalDateTime{2024, 3, 5, 5, 0, 0}, {0, "TAMAM: son yedek 2024-03-05 05:00"}},
        {"no run yet, no archive", {}, {}, {}, {}, {0, "TAMAM: henüz yedek yok"}},
        {"warnings held", true, {}, {disk, disk}, {}, {1, "UYARI: Disk dolmak üzere (1 uyarı daha)"}},
        {"not recorded", false, {}, {disk}, {}, {2, "HATA: Yedekleme kaydı yazılmadı: x"}},
        {"overdue", true, "Son başarılı yedek 27 saat önce alındı", {}, {},
         {2, "HATA: Son başarılı yedek 27 saat önce alındı"}},
        {"both", false, "Son başarılı yedek 27 saat önce alındı", {}, {},
         {2, "HATA: Yedekleme kaydı yazılmadı: x; Son başarılı yedek 27 saat önce alındı"}},
        {"copies owed too long", true, {}, {disk}, {}, {1, "UYARI: Uzak kopya 31 saattir alınamadı"},
         "Uzak kopya 31 saattir alınamadı"},
        {"a failure still outweighs them", false, {}, {}, {}, {2, "HATA: Yedekleme kaydı yazılmadı: x"},
         "Uzak kopya 31 saattir alınamadı"},
    };
    for (const Case& c : cases) {
        MachineStatus s;
        s.lastOutcome = "Yedekleme kaydı yazılmadı: x";
        s.lastRecorded = c.recorded;
        s.overdue = c.overdue;
        s.warnings = c.warnings;
        s.newestArchive = c.newest;
        s.remoteOverdue = c.remoteOverdue;
        const StatusSummary got = statusSummary(s);
        EXPECT_EQ(got.code, c.expected.code) << c.name;
        EXPECT_EQ(got.line, c.expected.line) << c.name;
    }
}

// What a plugin graphs: the age of the pair furthest behind, warned an hour before the overdue
// alarm and critical at it (a day plus two hours for one slot), and the held warnings.
TEST(StatusReport, PerformanceDataGivesTheAgeItsThresholdsAndTheWarnings) {
    const HeldWarning disk{{2024, 3, 5, 5, 0, 0}, "Disk dolmak üzere"};
    struct Case {
        const char* name;
        std::array<ScheduleSlot, 3> slots;
        std::optional<LocalDateTime> lagging;
        std::deque<HeldWarning> warnings;
        const char* expected;
    };
    const std::array<ScheduleSlot, 3> daily{{{1, {5, 0, 0}}, {0, {}}, {0, {}}}};
    const std::vector<Case> cases{
        {"an hour old, two warnings", daily, LocalDateTime{2024, 3, 5, 8, 0, 0}, {disk, disk},
         "son_yedek_yas=3600s;90000;93600;0 uyari=2;;;0"},
        {"27 hours old", daily, LocalDateTime{2024, 3, 4, 6, 0, 0}, {}, "son_yedek_yas=97200s;90000;93600;0 uyari=0;;;0"},
        {"no slot", {}, LocalDateTime{2024, 3, 5, 8, 0, 0}, {}, "son_yedek_yas=3600s;;;0 uyari=0;;;0"},
        {"a pair without an archive", daily, {}, {}, "son_yedek_yas=U;90000;93600;0 uyari=0;;;0"},
        {"a name ahead of the clock", daily, LocalDateTime{2024, 3, 5, 9, 5, 0}, {}, "son_yedek_yas=0s;90000;93600;0 uyari=0;;;0"},
    };
    for (const Case& c : cases) {
        MachineStatus s;
        s.schedule = c.slots;
        s.laggingArchive = c.lagging;
        s.warnings = c.warnings;
        EXPECT_EQ(performanceData(s, {2024, 3, 5, 9, 0, 0}), c.expected) << c.name;
    }
}

TEST(NextSlot, LaterTodayElseTheEarliestTomorrowAndNoneWhenAllAreOff) {
    const std::array<ScheduleSlot, 3> slots{{{1, {5, 0, 0}}, {2, {12, 0, 0}}, {0, {23, 0, 0}}}};
    const auto at = [&](int h, int m, int s) { return nextSlot(slots, {2024, 3, 5, h, m, s}); };
    EXPECT_EQ(at(4, 59, 59)->time, (TimeOfDay{5, 0, 0}));
    EXPECT_FALSE(at(4, 59, 59)->tomorrow);
    EXPECT_EQ(at(5, 0, 0)->time, (TimeOfDay{12, 0, 0}));  // a grey switch counts as on
    EXPECT_EQ(at(12, 0, 0)->time, (TimeOfDay{5, 0, 0}));
    EXPECT_TRUE(at(12, 0, 0)->tomorrow);
    EXPECT_FALSE(nextSlot({}, {2024, 3, 5, 0, 0, 0}));
}

TEST(StartMode, TheFirstKnownArgumentDecidesAndTheToolkitsAreLeftAlone) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(startModeFrom(V{}), StartMode::Auto);
    EXPECT_EQ(startModeFrom(V{"-platform", "offscreen"}), StartMode::Auto);
    EXPECT_EQ(startModeFrom(V{"--hizmet"}), StartMode::Service);
    EXPECT_EQ(startModeFrom(V{"/pencere"}), StartMode::Window);
    EXPECT_EQ(startModeFrom(V{"-style", "fusion", "--durum"}), StartMode::Status);
    EXPECT_EQ(startModeFrom(V{"--yedekle", "--hizmet"}), StartMode::Run);
    EXPECT_EQ(startModeFrom(V{"--Hizmet", "hizmet"}), StartMode::Auto);
}

}  // namespace
}  // namespace zel
