#include "engine/schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace zel {
namespace {

std::array<ScheduleSlot, 3> slots(int s1, TimeOfDay t1, int s2, TimeOfDay t2, int s3, TimeOfDay t3) {
    return {{{s1, t1}, {s2, t2}, {s3, t3}}};
}

TEST(ClockText, TwoDigitsWithTheLocaleSeparator) {
    EXPECT_EQ(clockText({2024, 3, 5, 5, 0, 0}, ":"), "05:00:00");
    EXPECT_EQ(clockText({2024, 3, 5, 17, 4, 9}, "."), "17.04.09");
}

TEST(WallSecond, CountsAcrossMidnightMonthsAndLeapDays) {
    EXPECT_EQ(wallSecond({1970, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(wallSecond({2024, 3, 1, 0, 0, 0}) - wallSecond({2024, 2, 28, 23, 59, 59}), 86400 + 1);
    EXPECT_EQ(wallSecond({2025, 1, 1, 0, 0, 0}) - wallSecond({2024, 12, 31, 23, 59, 59}), 1);
}

// One tick of a sequence: the time it reads and the slot it must fire (-1: none).
struct Tick {
    LocalDateTime at;
    int fires;
    int leptOver = -1;  // the slot a leap of the clock passed over, told as missed
};
struct WatchCase {
    const char* name;
    std::array<ScheduleSlot, 3> slots;
    std::vector<Tick> ticks;
};

void PrintTo(const WatchCase& c, std::ostream* os) {
    *os << c.name;
}

class SlotWatchCases : public ::testing::TestWithParam<WatchCase> {};

TEST_P(SlotWatchCases, FiresEachDueSlotOnce) {
    SlotWatch watch;
    const WatchCase& c = GetParam();
    for (std::size_t i = 0; i < c.ticks.size(); ++i) {
        EXPECT_EQ(watch.tick(c.ticks[i].at, c.slots), c.ticks[i].fires) << "tick " << i;
        EXPECT_EQ(firstDueSlot(watch.leapt(), c.slots), c.ticks[i].leptOver) << "tick " << i;
    }
}

constexpr LocalDateTime at(int h, int m, int s, int day = 5) {
    return {2024, 3, day, h, m, s};
}

INSTANTIATE_TEST_SUITE_P(
    Schedule, SlotWatchCases,
    ::testing::Values(
        WatchCase{"OnTimeTicksFireInTheSlotsSecondOnly",
                  slots(1, {5, 0, 0}, 1, {17, 0, 0}, 1, {12, 0, 30}),
                  {{at(4, 59, 59), -1},
                   {at(5, 0, 0), 0},
                   {at(5, 0, 1), -1},
                   {at(12, 0, 29), -1},
                   {at(12, 0, 30), 2},
                   {at(12, 0, 31), -1}}},
        WatchCase{"ClearedSwitchNeverFiresAndGrayedDoes",
                  slots(0, {5, 0, 0}, 2, {6, 0, 0}, 0, {}),
                  {{at(4, 59, 59), -1}, {at(5, 0, 0), -1}, {at(5, 59, 59), -1}, {at(6, 0, 0), 1}}},
        WatchCase{"LowerSlotWinsATieAndOneRunPerTick",
                  slots(0, {5, 0, 0}, 1, {5, 0, 0}, 1, {5, 0, 0}),
                  {{at(4, 59, 59), -1}, {at(5, 0, 0), 1}, {at(5, 0, 1), -1}}},
        WatchCase{"LateTickAfterASkippedSecondStillFires",
                  slots(0, {}, 0, {}, 1, {12, 0, 30}),
                  {{at(12, 0, 29), -1}, {at(12, 0, 31), 2}, {at(12, 0, 32), -1}}},
        WatchCase{"CatchUpReachesSixtySecondsBackAndAcrossMidnight",
                  slots(1, {0, 0, 10}, 1, {23, 59, 50}, 0, {}),
                  {{at(23, 59, 30), -1},
                   {at(0, 0, 30, 6), 0},
                   {at(0, 1, 0, 6), -1},
                   {at(0, 0, 0, 7), -1, 1},
                   {at(0, 1, 0, 7), 0}}},
        WatchCase{"JumpOfMoreThanAMinuteFiresNothingJumpedOver",
                  slots(1, {2, 30, 0}, 0, {}, 0, {}),
                  {{at(2, 29, 0), -1}, {at(2, 30, 1), -1, 0}, {at(2, 30, 2), -1}, {at(2, 35, 0), -1}}},
        WatchCase{"SpringForwardSkipsTheSlotFallBackFiresItAgain",
                  slots(1, {2, 30, 0}, 0, {}, 0, {}),
                  {{at(1, 59, 59), -1},
                   {at(3, 0, 0), -1, 0},
                   {at(2, 30, 0), 0},
                   {at(2, 59, 59), -1},
                   {at(2, 0, 0), -1},
                   {at(2, 30, 0), 0}}},
        WatchCase{"NoSecondFiresTwiceAfterAnEarlyTickOrASmallStepBack",
                  slots(1, {5, 0, 0}, 1, {5, 0, 3}, 1, {5, 0, 7}),
                  {{at(5, 0, 0), 0},
                   {at(5, 0, 0), -1},
                   {at(5, 0, 5), 1},
                   {at(5, 0, 4), -1},
                   {at(5, 0, 0), -1},
                   {at(5, 0, 3), -1},
                   {at(5, 0, 6), -1},
                   {at(5, 0, 7), 2}}},
        WatchCase{
            "FirstTickLooksOnlyAtItsOwnSecond", slots(1, {5, 0, 0}, 0, {}, 0, {}), {{at(5, 0, 1), -1}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A slot due in the minute before start-up (a restart for updates at 05:00:30) is run at the first
// tick, as a running program would have run it; one due earlier is a missed slot, told instead.
TEST(StartUpLookBack, ASlotDueWhileStartingRunsAtTheFirstTick) {
    struct Case {
        const char* name;
        LocalDateTime start;
        std::optional<LocalDateTime> archive;
        LocalDateTime firstTick;
        int fires;
    };
    const LocalDateTime yesterday = at(17, 0, 0, 4);
    for (const Case& c : {
             Case{"restarted half a minute after the slot", at(5, 0, 30), yesterday, at(5, 0, 31), 0},
             Case{"a first tick that comes late", at(5, 0, 30), yesterday, at(5, 0, 33), 0},
             Case{"a new setup, without archives", at(5, 0, 30), std::nullopt, at(5, 0, 31), 0},
             Case{"due a minute before, to the second", at(5, 1, 0), yesterday, at(5, 1, 1), 0},
             Case{"the slot's run made the newest archive", at(5, 0, 30), at(5, 0, 0), at(5, 0, 31), -1},
             Case{"due over a minute before: told, not run", at(5, 1, 5), yesterday, at(5, 1, 6), -1},
         }) {
        SlotWatch watch;
        watch.lookBackFrom(startUpLookBack(c.start, c.archive));
        EXPECT_EQ(watch.tick(c.firstTick, slots(1, {5, 0, 0}, 0, {}, 0, {})), c.fires) << c.name;
        EXPECT_EQ(watch.tick({c.firstTick.year, c.firstTick.month, c.firstTick.day, c.firstTick.hour,
                              c.firstTick.minute, c.firstTick.second + 1},
                             slots(1, {5, 0, 0}, 0, {}, 0, {})),
                  -1)
            << c.name;
    }
}

// Started in the minute of its newest archive (a service restarted right after a run): a slot later
// in that minute runs when it comes.
TEST(StartUpLookBack, ASlotLaterInTheNewestArchivesMinuteStillRuns) {
    SlotWatch watch;
    watch.lookBackFrom(startUpLookBack(at(5, 0, 10), at(5, 0, 0)));
    const auto later = slots(1, {5, 0, 30}, 0, {}, 0, {});
    EXPECT_EQ(watch.tick(at(5, 0, 11), later), -1);
    EXPECT_EQ(watch.tick(at(5, 0, 30), later), 0);
}

TEST(MsToNextSecondTick, LandsJustPastTheNextBoundaryByMoreThanTheClockStep) {
    struct Case {
        std::int64_t now;
        std::int64_t step;
        int expected;
    };
    for (const Case& c : {Case{1'000'000'000, 1, 1003}, Case{1'000'003'000, 1, 1000},
                          Case{1'000'999'900, 1, 3}, Case{1'000'000'000, 15'625, 1018}}) {
        const int delay = msToNextSecondTick(c.now, c.step);
        EXPECT_EQ(delay, c.expected) << c.now;
        // Whatever the case, the tick falls in the next second and past the clock's step.
        const std::int64_t tick = c.now + delay * std::int64_t{1000};
        EXPECT_EQ(tick / 1'000'000, c.now / 1'000'000 + 1);
        EXPECT_GT(tick % 1'000'000, c.step);
    }
}

TEST(MissedSlot, OnlyASlotDueAfterTheNewestArchiveAndOverAMinuteAgo) {
    const LocalDateTime start{2024, 3, 5, 9, 30, 0};
    const LocalDateTime yesterday{2024, 3, 4, 17, 0, 0};
    struct Case {
        const char* name;
        std::array<ScheduleSlot, 3> slots;
        LocalDateTime archive;
        std::optional<TimeOfDay> missed;
    };
    const Case cases[] = {
        {"due an hour ago, archive from yesterday",
         {{{1, {8, 30, 0}}, {0, {}}, {0, {}}}},
         yesterday,
         TimeOfDay{8, 30, 0}},
        {"switched off", {{{0, {8, 30, 0}}, {0, {}}, {0, {}}}}, yesterday, std::nullopt},
        {"the run it started made the archive",
         {{{1, {8, 30, 0}}, {0, {}}, {0, {}}}},
         {2024, 3, 5, 8, 30, 0},
         std::nullopt},
        {"due within the last minute", {{{1, {9, 29, 10}}, {0, {}}, {0, {}}}}, yesterday, std::nullopt},
        {"still ahead today: yesterday's came after the archive",
         {{{1, {20, 0, 0}}, {0, {}}, {0, {}}}},
         yesterday,
         TimeOfDay{20, 0, 0}},
        {"the latest of two", {{{1, {5, 0, 0}}, {2, {9, 0, 0}}, {0, {}}}}, yesterday, TimeOfDay{9, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(missedSlot(c.slots, start, c.archive), c.missed) << c.name;
    EXPECT_EQ(missedSlotText({8, 30, 0}, yesterday),
              "Kaçırılan yedekleme: 08:30:00 (son yedek 2024-03-04 17:00)");
}

TEST(Overdue, TheLongestGapBetweenEnabledSlotsPlusTwoHours) {
    struct Case {
        const char* name;
        std::array<ScheduleSlot, 3> slots;
        std::optional<std::int64_t> hours;
    };
    const std::vector<Case> cases{
        {"none enabled", {{{0, {5, 0, 0}}, {0, {12, 0, 0}}, {0, {17, 0, 0}}}}, std::nullopt},
        {"one daily slot", {{{1, {5, 0, 0}}, {0, {12, 0, 0}}, {0, {17, 0, 0}}}}, 26},
        {"two at one time", {{{1, {5, 0, 0}}, {1, {5, 0, 0}}, {0, {17, 0, 0}}}}, 26},
        {"the night is the longest gap", {{{1, {5, 0, 0}}, {2, {12, 0, 0}}, {1, {17, 0, 0}}}}, 14},
        {"unsorted, the longest within the day", {{{1, {23, 0, 0}}, {1, {1, 0, 0}}, {0, {}}}}, 24},
    };
    for (const Case& c : cases) {
        const auto after = overdueAfterSeconds(c.slots);
        EXPECT_EQ(after ? std::optional<std::int64_t>(*after / 3600) : std::nullopt, c.hours) << c.name;
    }
}

TEST(Overdue, CountsFromTheNewestArchiveOrWithNoneFromTheStart) {
    const std::array<ScheduleSlot, 3> daily{{{1, {5, 0, 0}}, {0, {}}, {0, {}}}};
    const LocalDateTime archive{2026, 12, 7, 5, 0, 0}, started{2026, 12, 1, 9, 0, 0};
    EXPECT_FALSE(overdueBackup(daily, archive, started, {2026, 12, 8, 7, 0, 0}));  // 26 h: not yet
    const auto late = overdueBackup(daily, archive, started, {2026, 12, 8, 8, 0, 0});
    ASSERT_TRUE(late);
    EXPECT_EQ(overdueText(*late), "Son başarılı yedek 27 saat önce alındı");
    const auto never = overdueBackup(daily, std::nullopt, started, {2026, 12, 2, 12, 0, 0});
    ASSERT_TRUE(never);
    EXPECT_EQ(overdueText(*never), "Başarılı yedek yok: 27 saattir");
    EXPECT_FALSE(overdueBackup({}, archive, started, {2026, 12, 20, 0, 0, 0}));
}

}  // namespace
}  // namespace zel
