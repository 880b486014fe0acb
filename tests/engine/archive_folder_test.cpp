#include "engine/archive_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/disk_space.h"

namespace zel {
namespace {

using State = ProgramArchive::State;

TEST(ProgramArchive, OnlyThisProgramsNamesForThePrefix) {
    struct Case {
        const char* name;
        const char* prefix;
        std::optional<State> state;  // nothing: not one of ours
    };
    const Case cases[] = {
        {"tarvel-yedek20240305.0907.zip", "tarvel-yedek", State::Good},
        {"tarvel-yedek20240305.0907.zip.bozuk", "tarvel-yedek", State::Damaged},
        {"tarvel-yedek20240305.0907.zip.eksik", "tarvel-yedek", State::Incomplete},
        {"tarvel-yedek20240305.0907.zip.12.bozuk", "tarvel-yedek", State::Damaged},  // beside an earlier one
        {"tarvel-yedek20240305.0907.zip.1", "tarvel-yedek", std::nullopt},
        {"tarvel-yedek20240305.0907.zip.x.eksik", "tarvel-yedek", std::nullopt},
        {"tarvel-yedek20240305.0907.1.zip.eksik", "tarvel-yedek", std::nullopt},
        {"20240305.0907.zip", "", State::Good},  // a target ending in a backslash
        {"notlar.zip", "tarvel-yedek", std::nullopt},
        {"yedek-eski.zip", "yedek", std::nullopt},
        {"tarvel-yedek-eski20240305.0907.zip", "tarvel-yedek", std::nullopt},  // another prefix
        {"Tarvel-yedek20240305.0907.zip", "tarvel-yedek", std::nullopt},
        {"tarvel-yedek20240305.0907.zip.bak", "tarvel-yedek", std::nullopt},
        {"tarvel-yedek2024035.0907.zip", "tarvel-yedek", std::nullopt},
        {"tarvel-yedek20240305-0907.zip", "tarvel-yedek", std::nullopt},
        {"tarvel-yedek2024O305.0907.zip", "tarvel-yedek", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<ProgramArchive> a = programArchive(c.name, c.prefix);
        ASSERT_EQ(a.has_value(), c.state.has_value()) << c.name;
        if (a) {
            EXPECT_EQ(a->state, *c.state) << c.name;
            EXPECT_EQ(a->stamp, "20240305.0907") << c.name;
        }
    }
    EXPECT_EQ(stampTime("20240305.0907"), (LocalDateTime{2024, 3, 5, 9, 7, 0}));
}

TEST(ProgramArchive, RetentionKeepsTheNewestAndTouchesNothingElse) {
    const std::vector<std::string> folder = {"y20240301.0500.zip", "y20240302.0500.zip",
                                             "y20240303.0500.zip", "y20240304.0500.zip",
                                             "y20240305.0907.zip", "notlar.zip",
                                             "yedek-eski.zip",     "y20240228.0500.zip.bozuk",
                                             "x20240101.0100.zip", "y20240304.1200.zip.eksik"};
    struct Case {
        int keep;
        std::string justBuilt;
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {0, "y20240305.0907.zip", {}},
        {2,
         "y20240305.0907.zip",
         {"y20240303.0500.zip", "y20240302.0500.zip", "y20240301.0500.zip", "y20240228.0500.zip.bozuk"}},
        {5, "y20240305.0907.zip", {}},
        // The clock was set back: the new archive stays whatever its name says.
        {1,
         "y20240301.0500.zip",
         {"y20240305.0907.zip", "y20240304.0500.zip", "y20240303.0500.zip", "y20240302.0500.zip",
          "y20240228.0500.zip.bozuk"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> deleted = archivesBeyond(folder, "y", c.keep, c.justBuilt);
        EXPECT_EQ(deleted, c.deleted) << "keep " << c.keep;
    }
    EXPECT_EQ(newestArchive(folder, "y")->name, "y20240305.0907.zip");
    // A clock gone back: the newest name of ours, failed or not, more than ten minutes ahead.
    EXPECT_FALSE(archiveAheadOf(folder, "y", {2024, 3, 5, 8, 58, 0}));
    EXPECT_EQ(archiveAheadOf(folder, "y", {2024, 3, 5, 8, 56, 59})->name, "y20240305.0907.zip");
    EXPECT_EQ(archiveAheadOf({"y20300101.0000.zip.bozuk", "y20240305.0907.zip", "z20990101.0000.zip"}, "y",
                             {2010, 1, 1, 0, 0, 0})->name,
              "y20300101.0000.zip.bozuk");
    EXPECT_FALSE(newestArchive({"notlar.zip", "y20240305.0907.zip.bozuk"}, "y"));
}

TEST(ProgramArchive, AnArchiveBelongsToThePairWhoseSourceHoldsEveryEntry) {
    const std::vector<std::string> prefixes{"brevund", "brevund/belgeler", "stok"};
    struct Case {
        std::vector<std::string> entries;
        std::optional<std::string> owner;
        bool ignoreCase = false;
    };
    for (const Case& c : {
             Case{{"brevund/belgeler/", "brevund/belgeler/a.txt"}, "brevund/belgeler"},  // the narrowest
             Case{{"brevund/", "brevund/belgeler/a.txt", "brevund/b.txt"}, "brevund"},
             Case{{"brevund/a.txt", "stok/s.txt"}, std::nullopt},  // two pairs in one minute
             Case{{"brevund-eski/a.txt"}, std::nullopt},
             Case{{"Brevund/Belgeler/a.txt"}, std::nullopt},
             Case{{"Brevund/Belgeler/a.txt"}, "brevund/belgeler", true},
             Case{{"stok"}, "stok"},
         }) {
        EXPECT_EQ(owningPrefix(c.entries, prefixes, c.ignoreCase), c.owner) << c.entries.front();
    }
    EXPECT_EQ(owningPrefix({"x/y.txt"}, {"", "stok"}, false), "");  // a drive's root holds everything
}

TEST(DiskSpace, ReserveNeedAndWhatTheLogSays) {
    constexpr std::uint64_t MB = 1024 * 1024, GB = 1024 * MB;
    EXPECT_EQ(spaceReserve(4 * MB), 4 * MB / 20);
    EXPECT_EQ(spaceReserve(500 * GB), GB);
    EXPECT_EQ(spaceNeeded({0, 4 * MB}, 3 * MB), 3 * MB + 4 * MB / 20);
    EXPECT_EQ(spaceNeeded({0, 100 * GB}, std::nullopt), GB);
    const std::pair<std::uint64_t, const char*> sizes[] = {
        {GB + GB / 5, "1,2 GB"}, {350 * MB, "350 MB"}, {4 * MB + MB / 2, "4,5 MB"}, {12 * 1024, "12 KB"}};
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(sizeText(bytes), text);
    EXPECT_EQ(noRoomText("c:\\yedek", MB, 3 * MB), "Yer yetersiz: c:\\yedek (boş 1,0 MB, gereken 3,0 MB)");
    EXPECT_EQ(runsLeftWhenLow(30 * MB, 10 * MB), std::nullopt);
    EXPECT_EQ(runsLeftWhenLow(29 * MB, 10 * MB), 2u);
    EXPECT_EQ(runsLeftWhenLow(29 * MB, 0), std::nullopt);
    EXPECT_EQ(diskNearlyFullText("c:\\yedek", 29 * MB, 2),
              "Yedek diski dolmak üzere: c:\\yedek (29 MB boş, yaklaşık 2 yedeklik yer)");
}

}  // namespace
}  // namespace zel
