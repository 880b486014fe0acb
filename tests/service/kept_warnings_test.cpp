#include "service/kept_warnings.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

KeptWarning at(int day, int hour, std::string text) {
    return {{2026, 12, day, hour, 0, 0}, "ZEL Yedek", std::move(text)};
}

TEST(KeptWarnings, AWeekAndFiftyAreKeptTheOldestGoFirst) {
    const LocalDateTime now{2026, 12, 8, 9, 0, 0};
    std::deque<KeptWarning> kept{at(1, 8, "sekiz gün önce"), at(1, 9, "tam bir hafta"), at(8, 5, "bugün")};
    pruneKeptWarnings(kept, now);
    EXPECT_EQ(kept, (std::deque<KeptWarning>{at(1, 9, "tam bir hafta"), at(8, 5, "bugün")}));

    kept.clear();
    for (int i = 0; i < 52; ++i) kept.push_back(at(8, 5, std::to_string(i)));
    pruneKeptWarnings(kept, now);
    ASSERT_EQ(kept.size(), 50u);
    EXPECT_EQ(kept.front().text, "2");
    EXPECT_EQ(kept.back().text, "51");
}

// The file survives tabs and line ends inside a text; a line edited by hand costs only itself.
TEST(KeptWarnings, TheFileReadsBackWhatWasWrittenAndSkipsWhatIsNotAWarning) {
    const std::deque<KeptWarning> kept{at(7, 5, "Yedekleme başarısız: c:\\a\t-> d:\\b\r\nikinci satır"),
                                       at(8, 5, "Disk dolmak üzere")};
    const std::string file = keptWarningsFile(kept);
    EXPECT_EQ(readKeptWarnings(file), kept);

    const std::string edited = "2026-13-01 05:00:00\tZEL Yedek\tay yok\n"
                               "bozuk satır\n"
                               "2026-12-07 05:00:00\tyalnız başlık\n"
                               "2026-12-07 05:00:00\tZEL Yedek\tkötü kaçış \\q\n"
                               "\xff\xfe\n" +
                               file;
    EXPECT_EQ(readKeptWarnings(edited), kept);
    EXPECT_TRUE(readKeptWarnings("").empty());
}

TEST(KeptWarnings, AWindowShowsThreeWithTheirTimeThenHowManyMore) {
    const LocalDateTime now{2026, 12, 8, 9, 0, 0};
    using B = std::vector<Balloon>;
    EXPECT_EQ(keptWarningBalloons({at(8, 5, "Yedekleme başarısız")}, now),
              (B{{"ZEL Yedek", "05:00 Yedekleme başarısız"}}));
    const std::deque<KeptWarning> five{at(7, 5, "a"), at(7, 17, "b"), at(8, 5, "c"), at(8, 6, "d"), at(8, 7, "e")};
    EXPECT_EQ(keptWarningBalloons(five, now),
              (B{{"ZEL Yedek", "2026-12-07 05:00 a"},
                 {"ZEL Yedek", "2026-12-07 17:00 b"},
                 {"ZEL Yedek", "05:00 c"},
                 {"ZEL Yedek", "2 uyarı daha: ayrıntılar TarvelYedek.log dosyasında"}}));
    EXPECT_TRUE(keptWarningBalloons({}, now).empty());
}

}  // namespace
}  // namespace zel
