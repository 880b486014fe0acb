#pragma once

#include <string>

namespace zel {

// The parts of the user's regional settings that the program formats with. Read once from the
// system by the window; tests pass fixed values so no result depends on the machine's locale.
struct LocaleFormats {
    std::string dateSeparator = ".";
    std::string timeSeparator = ":";
    // Short-date pattern in the d/M/y letters of the regional settings, e.g. "dd.MM.yyyy".
    std::string shortDatePattern = "dd.MM.yyyy";

    static LocaleFormats turkish() { return {".", ":", "dd.MM.yyyy"}; }
    static LocaleFormats unitedStates() { return {"/", ":", "M/d/yyyy"}; }
};

}  // namespace zel
