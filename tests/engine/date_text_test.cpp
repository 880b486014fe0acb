#include "engine/date_text.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(MakeDate, GivesTheSameDayWhateverTheLocaleOrder) {
    const CalendarDate march5{2024, 3, 5};
    EXPECT_EQ(makeDate("5", "3", "2024", LocaleFormats::turkish()), march5);
    EXPECT_EQ(makeDate("5", "3", "2024", LocaleFormats::unitedStates()), march5);
    EXPECT_EQ(makeDate("5", "3", "2024", LocaleFormats{"-", ":", "yyyy-MM-dd"}), march5);
}

TEST(MakeDate, ImpossibleDatesRaiseAConversionError) {
    EXPECT_THROW(makeDate("30", "2", "2024", LocaleFormats::turkish()), DateConversionError);
    EXPECT_THROW(makeDate("x", "2", "2024", LocaleFormats::unitedStates()), DateConversionError);
    EXPECT_THROW(makeDate("29", "2", "2023", LocaleFormats::turkish()), DateConversionError);
    EXPECT_EQ(makeDate("29", "2", "2024", LocaleFormats::turkish()), (CalendarDate{2024, 2, 29}));
}

TEST(ShortDateText, FollowsThePattern) {
    EXPECT_EQ(shortDateText({2024, 3, 5}, "dd.MM.yyyy"), "05.03.2024");
    EXPECT_EQ(shortDateText({2024, 3, 5}, "M/d/yyyy"), "3/5/2024");
    EXPECT_EQ(shortDateText({2024, 11, 25}, "d.M.yy"), "25.11.24");
}

TEST(TimeOfDayText, TwoDigitsJoinedByTheLocaleSeparator) {
    EXPECT_EQ(timeOfDayText(5, 0, 0, ":"), "05:00:00");
    EXPECT_EQ(timeOfDayText(23, 9, 7, "."), "23.09.07");
}

}  // namespace
}  // namespace zel
