#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/local_time.h"
#include "platform/system/locale_formats.h"

namespace zel {

inline constexpr int kSettingsLineCount = 14;
inline constexpr std::string_view kSettingsFileName = "TarvelYedek.ini";

// Everything the settings file holds, in the controls' own terms.
struct Settings {
    std::array<std::string, 4> sources;
    std::array<std::string, 4> targets;
    std::array<int, 3> switches{};  // 0 off, 1 on, 2 grayed
    std::array<TimeOfDay, 3> times{};
};

inline constexpr std::array<TimeOfDay, 3> kDefaultSlotTimes = {{{5, 0, 0}, {17, 0, 0}, {12, 0, 0}}};
inline constexpr int kDefaultSwitch = 1;

// The fourteen lines, each followed by CR LF: four pairs (source, target), then switch and
// "HH:MM:SS" for each slot.
// A folder line never carries a line break: one would shift every later line of the file.
std::string settingsText(const Settings& settings);

// A folder text as typed or pasted into a box: control characters (line breaks, tabs, ...) are
// removed, the rest is kept as it is.
std::string folderBoxText(std::string_view typed);

// The lines of a file's text as reading them yields them: CR LF or LF ends a line, a last line
// without an end still counts, and nothing after the `limit`th line is read.
std::vector<std::string> textLines(std::string_view text, std::size_t limit = SIZE_MAX);

// The settings file's lines: nothing after the fourteenth is read.
std::vector<std::string> settingsLines(std::string_view text);

// A switch line as a check-box value; nothing for anything but the integers 0, 1 and 2.
std::optional<int> parseSwitchLine(std::string_view line);

// The time of day of a time line: "HH:MM:SS", a time without seconds, with AM/PM, or preceded
// by a date (the locale's short date or ISO 8601). Nothing when the line is no date-time.
std::optional<TimeOfDay> parseTimeLine(std::string_view line, const LocaleFormats& locale);

// The file's path: the executable's folder text followed directly by "\TarvelYedek.ini".
std::string settingsPath(std::string_view programFolder);

// Equal but for the case of ASCII letters ("pm" and "PM", a key in the settings).
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsIgnoringCase(std::string_view text, std::string_view start);

// Whether the text holds a control character (below 0x20, or DEL): none may go into a header, a
// URL or a path that a setting names.
bool hasControlCharacter(std::string_view text);

// "c:\...", "\\server\share\..." or "/...": a path that means the same to a service as to a window.
bool isWholePath(std::string_view folder);

}  // namespace zel
