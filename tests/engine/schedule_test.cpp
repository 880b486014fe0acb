#include "engine/schedule.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

std::array<ScheduleSlot, 3> slots(int s1, TimeOfDay t1, int s2, TimeOfDay t2, int s3, TimeOfDay t3) {
    return {{{s1, t1}, {s2, t2}, {s3, t3}}};
}

TEST(ClockText, TwoDigitsWithTheLocaleSeparator) {
    EXPECT_EQ(clockText({2024, 3, 5, 5, 0, 0}, ":"), "05:00:00");
    EXPECT_EQ(clockText({2024, 3, 5, 17, 4, 9}, "."), "17.04.09");
}

TEST(FirstDueSlot, MatchesHourMinuteAndSecond) {
    auto s = slots(1, {5, 0, 0}, 1, {17, 0, 0}, 1, {12, 0, 30});
    EXPECT_EQ(firstDueSlot("05:00:00", s, ":"), 0);
    EXPECT_EQ(firstDueSlot("17:00:00", s, ":"), 1);
    EXPECT_EQ(firstDueSlot("12:00:30", s, ":"), 2);
    EXPECT_EQ(firstDueSlot("12:00:29", s, ":"), -1);
    EXPECT_EQ(firstDueSlot("12:00:31", s, ":"), -1);
    EXPECT_EQ(firstDueSlot("12:00:00", s, ":"), -1);
}

TEST(FirstDueSlot, ClearedSwitchNeverMatchesAndGrayedDoes) {
    EXPECT_EQ(firstDueSlot("05:00:00", slots(0, {5, 0, 0}, 0, {5, 0, 0}, 0, {5, 0, 0}), ":"), -1);
    EXPECT_EQ(firstDueSlot("05:00:00", slots(2, {5, 0, 0}, 0, {}, 0, {}), ":"), 0);
}

TEST(FirstDueSlot, LowerNumberedSlotWinsATie) {
    EXPECT_EQ(firstDueSlot("05:00:00", slots(0, {5, 0, 0}, 1, {5, 0, 0}, 1, {5, 0, 0}), ":"), 1);
}

TEST(FirstDueSlot, ComparesTheTextsWrittenWithTheSameSeparator) {
    auto s = slots(1, {5, 0, 0}, 0, {}, 0, {});
    EXPECT_EQ(firstDueSlot("05.00.00", s, "."), 0);
    EXPECT_EQ(firstDueSlot("05:00:00", s, "."), -1);
}

}  // namespace
}  // namespace zel
