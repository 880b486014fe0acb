#include "remote/copy_plan.h"

#include <algorithm>
#include <map>

namespace zel {

std::string placeFolderName(std::string_view target, bool ignoreCase) {
    std::string out;
    bool gap = false;
    for (const char ch : target) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool kept = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                          c == '.' || c >= 0x80;
        if (!kept) {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out += '_';
        gap = false;
        out += ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : ch;
    }
    // "." and ".." are no names a folder can have.
    if (out.find_first_not_of('.') == std::string::npos) out = "_" + out;
    return out;
}

std::vector<LocalArchive> copiesWanted(std::vector<LocalArchive> archives, int keepHere, int keepThere) {
    std::stable_sort(archives.begin(), archives.end(),
                     [](const LocalArchive& a, const LocalArchive& b) { return a.stamp > b.stamp; });
    const int keep = keepHere == 0 ? keepThere : keepThere == 0 ? keepHere : std::min(keepHere, keepThere);
    std::map<std::pair<std::string, int>, int> taken;  // (target, pair) -> archives wanted so far
    std::vector<LocalArchive> wanted;
    for (LocalArchive& a : archives) {
        if (a.owner && keep > 0 && taken[{a.target, *a.owner}]++ >= keep) continue;
        wanted.push_back(std::move(a));
    }
    return wanted;
}

std::optional<int> retryAfterSeconds(int failures) {
    if (failures == 1) return 5 * 60;
    if (failures == 2) return 30 * 60;
    return std::nullopt;
}

}  // namespace zel
