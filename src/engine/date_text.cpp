#include "engine/date_text.h"

#include <array>
#include <charconv>
#include <vector>

namespace zel {
namespace {

enum class Field { Day, Month, Year };

// Field order of the short-date pattern: the order in which its d, M and y runs first appear.
std::array<Field, 3> fieldOrder(std::string_view pattern) {
    std::vector<Field> order;
    auto add = [&](Field f) {
        for (Field g : order)
            if (g == f) return;
        order.push_back(f);
    };
    for (char c : pattern) {
        if (c == 'd') add(Field::Day);
        if (c == 'M') add(Field::Month);
        if (c == 'y') add(Field::Year);
    }
    for (Field f : {Field::Month, Field::Day, Field::Year}) add(f);
    return {order[0], order[1], order[2]};
}

int parseNumber(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    int value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || value < 0) {
        throw DateConversionError("not a number: " + std::string(s));
    }
    return value;
}

}  // namespace

std::string twoDigits(int value) {
    std::string s = std::to_string(value);
    return s.size() < 2 ? "0" + s : s;
}

std::vector<std::string_view> splitFields(std::string_view text, char fixed,
                                          std::string_view localeSeparator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        bool sep = i < text.size() &&
                   (text[i] == fixed || (!localeSeparator.empty() && text[i] == localeSeparator[0]));
        if (i == text.size() || sep) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool isValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int last = kDays[month - 1] + ((month == 2 && leap) ? 1 : 0);
    return day <= last;
}

std::string timeOfDayText(int hour, int minute, int second, std::string_view timeSeparator) {
    std::string s = twoDigits(hour);
    s += timeSeparator;
    s += twoDigits(minute);
    s += timeSeparator;
    s += twoDigits(second);
    return s;
}

std::string timeOfDayText(const TimeOfDay& t, std::string_view timeSeparator) {
    return timeOfDayText(t.hour, t.minute, t.second, timeSeparator);
}

std::string shortDateText(const CalendarDate& date, std::string_view pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        if (c == 'd') {
            out += run >= 2 ? twoDigits(date.day) : std::to_string(date.day);
        } else if (c == 'M') {
            out += run >= 2 ? twoDigits(date.month) : std::to_string(date.month);
        } else if (c == 'y') {
            out += run <= 2 ? twoDigits(date.year % 100) : std::to_string(date.year);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

CalendarDate readLocaleDate(std::string_view text, const LocaleFormats& locale) {
    std::vector<std::string_view> parts = splitFields(text, '/', locale.dateSeparator);
    if (parts.size() != 3) throw DateConversionError("not a date: " + std::string(text));
    auto order = fieldOrder(locale.shortDatePattern);
    // A part of three or more digits is the year wherever it stands, as the host's date reading
    // does; the other two keep the locale's order of day and month.
    for (std::size_t i = 0; i < 3; ++i) {
        std::string_view p = parts[i];
        while (!p.empty() && p.front() == ' ') p.remove_prefix(1);
        if (p.size() >= 3 && order[i] != Field::Year) {
            std::vector<Field> dm;
            for (Field f : order)
                if (f != Field::Year) dm.push_back(f);
            std::size_t k = 0;
            for (std::size_t j = 0; j < 3; ++j) order[j] = (j == i) ? Field::Year : dm[k++];
            break;
        }
    }
    CalendarDate d;
    for (std::size_t i = 0; i < 3; ++i) {
        int v = parseNumber(parts[i]);
        switch (order[i]) {
            case Field::Day:
                d.day = v;
                break;
            case Field::Month:
                d.month = v;
                break;
            case Field::Year:
                d.year = v;
                break;
        }
    }
    if (!isValidDate(d.year, d.month, d.day)) throw DateConversionError("not a date: " + std::string(text));
    return d;
}

CalendarDate makeDate(std::string_view day, std::string_view month, std::string_view year,
                      const LocaleFormats& locale) {
    const bool dayFirst = readLocaleDate("1/10/2003", locale).month == 10;
    std::string text = dayFirst ? std::string(day) + "/" + std::string(month) + "/" + std::string(year)
                                : std::string(month) + "/" + std::string(day) + "/" + std::string(year);
    return readLocaleDate(text, locale);
}

}  // namespace zel
