#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/local_time.h"
#include "platform/system/locale_formats.h"

namespace zel {

struct CalendarDate {
    int year = 2000;
    int month = 1;
    int day = 1;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// Raised when a text does not name a real date.
class DateConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool isValidDate(int year, int month, int day);

// A number from 0 to 99 as two digits: 5 -> "05".
std::string twoDigits(int value);

// The fields of a date or time text: split at `fixed` and at the locale's separator.
std::vector<std::string_view> splitFields(std::string_view text, char fixed,
                                          std::string_view localeSeparator);

// "HH:MM:SS" with the locale's time separator: two-digit hour 00..23, minute and second.
std::string timeOfDayText(int hour, int minute, int second, std::string_view timeSeparator);
std::string timeOfDayText(const TimeOfDay& t, std::string_view timeSeparator);

// A date in the short-date pattern of the regional settings (d, dd, M, MM, yy, yyyy; other characters as
// written).
std::string shortDateText(const CalendarDate& date, std::string_view pattern);

// Reads "a/b/c" (or the locale's date separator) in the locale's order of day, month and year.
CalendarDate readLocaleDate(std::string_view text, const LocaleFormats& locale);

// The date of a day, month and year given as decimal texts, whatever order the locale reads
// dates in: a probe tells whether the locale reads the day first.
CalendarDate makeDate(std::string_view day, std::string_view month, std::string_view year,
                      const LocaleFormats& locale);

}  // namespace zel
