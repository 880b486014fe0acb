#include "settings/settings_format.h"

#include <cctype>
#include <charconv>

#include "engine/date_text.h"
#include "platform/files/path_map.h"

namespace zel {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::optional<int> number(std::string_view s) {
    if (s.empty() || s.size() > 4) return std::nullopt;
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

// "H:MM[:SS][ AM|PM]" with ":" or the locale's time separator.
std::optional<TimeOfDay> parseClock(std::string_view s, const LocaleFormats& locale) {
    s = trim(s);
    int meridiem = 0;  // 1 AM, 2 PM
    for (auto [word, value] : {std::pair{"AM", 1}, std::pair{"PM", 2}}) {
        if (s.size() > 2 && equalsIgnoringCase(s.substr(s.size() - 2), word)) {
            meridiem = value;
            s = trim(s.substr(0, s.size() - 2));
        }
    }
    std::vector<std::string_view> parts = splitFields(s, ':', locale.timeSeparator);
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    std::array<int, 3> v{0, 0, 0};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty() || parts[i].size() > 2) return std::nullopt;
        auto n = number(parts[i]);
        if (!n || *n < 0) return std::nullopt;
        v[i] = *n;
    }
    if (meridiem != 0) {
        if (v[0] < 1 || v[0] > 12) return std::nullopt;
        v[0] = (v[0] % 12) + (meridiem == 2 ? 12 : 0);
    }
    if (v[0] > 23 || v[1] > 59 || v[2] > 59) return std::nullopt;
    return TimeOfDay{v[0], v[1], v[2]};
}

bool isIsoDate(std::string_view s) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
    auto y = number(s.substr(0, 4)), m = number(s.substr(5, 2)), d = number(s.substr(8, 2));
    return y && m && d && isValidDate(*y, *m, *d);
}

bool isLocaleDate(std::string_view s, const LocaleFormats& locale) {
    try {
        readLocaleDate(s, locale);
        return true;
    } catch (const DateConversionError&) {
        return false;
    }
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string settingsText(const Settings& s) {
    std::string out;
    auto line = [&](std::string_view v) {
        out += v;
        out += "\r\n";
    };
    auto folderLine = [&](std::string_view v) {
        std::string kept;
        for (char c : v)
            if (c != '\r' && c != '\n') kept += c;
        line(kept);
    };
    for (int i = 0; i < 4; ++i) {
        folderLine(s.sources[i]);
        folderLine(s.targets[i]);
    }
    for (int k = 0; k < 3; ++k) {
        line(std::to_string(s.switches[k]));
        line(timeOfDayText(s.times[k], ":"));
    }
    return out;
}

std::string folderBoxText(std::string_view typed) {
    std::string kept;
    for (char c : typed) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) kept += c;
    }
    return kept;
}

std::vector<std::string> textLines(std::string_view text, std::size_t limit) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < limit) {
        std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> settingsLines(std::string_view text) {
    return textLines(text, static_cast<std::size_t>(kSettingsLineCount));
}

std::optional<int> parseSwitchLine(std::string_view line) {
    auto n = number(trim(line));
    if (!n || *n < 0 || *n > 2) return std::nullopt;
    return n;
}

std::optional<TimeOfDay> parseTimeLine(std::string_view line, const LocaleFormats& locale) {
    std::string_view s = trim(line);
    if (s.empty()) return std::nullopt;
    if (auto t = parseClock(s, locale)) return t;
    // A date, then a space or ISO 8601's "T", then the time; a date alone is midnight.
    std::size_t cut = s.find_first_of(" T");
    std::string_view date = s.substr(0, cut);
    std::string_view rest = cut == std::string_view::npos ? std::string_view{} : s.substr(cut + 1);
    if (!isIsoDate(date) && !isLocaleDate(date, locale)) return std::nullopt;
    if (trim(rest).empty()) return TimeOfDay{0, 0, 0};
    return parseClock(rest, locale);
}

std::string settingsPath(std::string_view programFolder) {
    return std::string(programFolder) + "\\" + std::string(kSettingsFileName);
}

bool hasControlCharacter(std::string_view text) {
    for (const unsigned char c : text)
        if (c < 0x20 || c == 0x7f) return true;
    return false;
}

bool startsIgnoringCase(std::string_view text, std::string_view start) {
    return equalsIgnoringCase(text.substr(0, start.size()), start);
}

bool isWholePath(std::string_view folder) {
    const bool drive = startsWithDrive(folder) && folder.size() >= 3 && (folder[2] == '\\' || folder[2] == '/');
    return drive || folder.starts_with("\\\\") || folder.starts_with('/');
}

}  // namespace zel
