#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// A verified archive in a target folder, and the pair whose source it alone holds (nothing: it
// holds two pairs' sources, written in one minute, and is nobody's alone).
struct LocalArchive {
    std::string target;
    std::string name;
    std::string stamp;  // "yyyyMMdd.HHmm"
    std::optional<int> owner;
    bool operator==(const LocalArchive&) const = default;
};

// The folder of the second place that a target folder's archives go to: its text with every run of
// characters other than letters, digits, '-' and '.' made one '_' ("c:\tarvel\yedek" ->
// "c_tarvel_yedek"), ASCII letters in lower case where folder names ignore it.
std::string placeFolderName(std::string_view target, bool ignoreCase);

// What the second place should hold of the archives, newest first: of each pair, its newest
// archives up to what both the target folder and the second place keep (0 keeps all), and every
// archive that is nobody's alone (neither side's retention ever deletes one).
std::vector<LocalArchive> copiesWanted(std::vector<LocalArchive> archives, int keepHere, int keepThere);

// A copy that failed waits this long before its next try: 5 minutes after it failed in a run's
// pass, 30 after the first retry failed; after that, nothing: it waits for the next run.
std::optional<int> retryAfterSeconds(int failures);

}  // namespace zel
