#pragma once

#include <string>
#include <string_view>

namespace zel {

// What a fleet's monitoring is given: a folder for the metrics file that Prometheus' textfile
// collectors read, and the address a dead man's switch expects its pings at. Empty: off.
struct WatchSettings {
    std::string metricsFolder;
    std::string pingAddress;
    bool operator==(const WatchSettings&) const = default;
};

// What is wrong with the settings, in the dialog's words; empty when they can be used. The folder
// is a whole path; the address an http or https URL without blanks or control characters, as it
// goes to libcurl.
std::string watchSettingsProblem(const WatchSettings& settings);

}  // namespace zel
