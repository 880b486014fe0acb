#include "engine/archive_folder.h"

#include <algorithm>
#include <cctype>

#include "engine/backup_rules.h"
#include "engine/schedule.h"

namespace zel {
namespace {

bool digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view text) {
    int n = 0;
    for (char c : text) n = n * 10 + (c - '0');
    return n;
}

}  // namespace

std::optional<ProgramArchive> programArchive(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return std::nullopt;
    std::string_view rest = name.substr(prefix.size());
    ProgramArchive archive{std::string(name), {}, ProgramArchive::State::Good};
    if (rest.ends_with(kDamagedSuffix)) {
        archive.state = ProgramArchive::State::Damaged;
        rest.remove_suffix(kDamagedSuffix.size());
    } else if (rest.ends_with(kIncompleteSuffix)) {
        archive.state = ProgramArchive::State::Incomplete;
        rest.remove_suffix(kIncompleteSuffix.size());
    }
    // A failure renamed beside an earlier one of its name: X.zip.1.bozuk.
    if (archive.state != ProgramArchive::State::Good) {
        const auto dot = rest.find_last_of('.');
        if (dot != std::string_view::npos && dot + 1 < rest.size() && digits(rest.substr(dot + 1)) &&
            rest.substr(0, dot).ends_with(".zip"))
            rest = rest.substr(0, dot);
    }
    // yyyyMMdd.HHmm.zip
    if (rest.size() != 17 || !rest.ends_with(".zip") || rest[8] != '.' || !digits(rest.substr(0, 8)) ||
        !digits(rest.substr(9, 4)))
        return std::nullopt;
    archive.stamp = std::string(rest.substr(0, 13));
    return archive;
}

std::optional<ProgramArchive> newestArchive(const std::vector<std::string>& names, std::string_view prefix) {
    std::optional<ProgramArchive> newest;
    for (const std::string& name : names) {
        std::optional<ProgramArchive> a = programArchive(name, prefix);
        if (a && a->state == ProgramArchive::State::Good && (!newest || a->stamp > newest->stamp)) newest = a;
    }
    return newest;
}

std::vector<std::string> archivesBeyond(const std::vector<std::string>& names, std::string_view prefix,
                                        int keep, std::string_view justBuilt) {
    if (keep <= 0) return {};
    std::vector<ProgramArchive> good, failed;
    for (const std::string& name : names) {
        if (std::optional<ProgramArchive> a = programArchive(name, prefix))
            (a->state == ProgramArchive::State::Good ? good : failed).push_back(std::move(*a));
    }
    // Newest first; the archive just built stays whatever its name says, as a clock set back
    // would otherwise make it the first to go.
    std::sort(good.begin(), good.end(), [&](const ProgramArchive& a, const ProgramArchive& b) {
        if ((a.name == justBuilt) != (b.name == justBuilt)) return a.name == justBuilt;
        return a.stamp > b.stamp;
    });
    std::vector<std::string> doomed;
    if (good.size() <= static_cast<std::size_t>(keep)) return doomed;
    for (std::size_t i = static_cast<std::size_t>(keep); i < good.size(); ++i) doomed.push_back(good[i].name);
    good.resize(static_cast<std::size_t>(keep));
    // Failed archives older than every archive kept go with the good ones.
    const std::string oldestKept =
        std::min_element(good.begin(), good.end(), [](const auto& a, const auto& b) {
            return a.stamp < b.stamp;
        })->stamp;
    for (const ProgramArchive& f : failed) {
        if (f.stamp < oldestKept) doomed.push_back(f.name);
    }
    return doomed;
}

namespace {

bool sameText(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && !(ignoreCase && x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y))) return false;
    }
    return true;
}

// "brevund/belgeler/x.txt" and the folder "brevund/belgeler/" lie under "brevund/belgeler".
bool under(std::string_view entry, std::string_view prefix, bool ignoreCase) {
    if (prefix.empty()) return true;
    if (entry.size() < prefix.size() || !sameText(entry.substr(0, prefix.size()), prefix, ignoreCase))
        return false;
    return entry.size() == prefix.size() || entry[prefix.size()] == '/';
}

}  // namespace

std::optional<std::string> owningPrefix(const std::vector<std::string>& entries,
                                        const std::vector<std::string>& prefixes, bool ignoreCase) {
    std::optional<std::string> owner;
    for (const std::string& prefix : prefixes) {
        if (owner && owner->size() >= prefix.size()) continue;
        const bool holdsAll = std::all_of(entries.begin(), entries.end(),
                                          [&](const std::string& e) { return under(e, prefix, ignoreCase); });
        if (holdsAll) owner = prefix;
    }
    return owner;
}

LocalDateTime stampTime(std::string_view stamp) {
    return {number(stamp.substr(0, 4)), number(stamp.substr(4, 2)),  number(stamp.substr(6, 2)),
            number(stamp.substr(9, 2)), number(stamp.substr(11, 2)), 0};
}

std::vector<ProgramArchive> goodArchives(FileSystem& files, const std::string& target, const LocalDateTime& now) {
    std::vector<ProgramArchive> good;
    if (std::optional<std::vector<FolderItem>> items = files.listFolder(target)) {
        for (const FolderItem& item : *items) {
            const std::optional<ProgramArchive> a = programArchive(item.name, archiveBase(target));
            // Another user's file under such a name is no backup of this program's.
            if (a && a->state == ProgramArchive::State::Good && wallSecond(stampTime(a->stamp)) <= wallSecond(now) &&
                files.foreignness(archivePath(target, item.name)).empty())
                good.push_back(*a);
        }
    }
    return good;
}

std::optional<LocalDateTime> newestArchiveTime(FileSystem& files, const std::vector<std::string>& targets,
                                               const LocalDateTime& now) {
    std::optional<std::string> newest;
    for (const std::string& target : targets)
        for (const ProgramArchive& a : goodArchives(files, target, now))
            if (!newest || a.stamp > *newest) newest = a.stamp;
    if (!newest) return std::nullopt;
    return stampTime(*newest);
}

std::optional<ProgramArchive> archiveAheadOf(const std::vector<std::string>& names, std::string_view prefix,
                                             const LocalDateTime& now) {
    std::optional<ProgramArchive> newest;
    for (const std::string& name : names) {
        std::optional<ProgramArchive> a = programArchive(name, prefix);
        if (a && (!newest || a->stamp > newest->stamp)) newest = std::move(a);
    }
    if (!newest || wallSecond(stampTime(newest->stamp)) <= wallSecond(now) + kClockSlackMinutes * 60)
        return std::nullopt;
    return newest;
}

std::string clockWentBackText(std::string_view archive) {
    return "Saat geri gitmiş görünüyor: " + std::string(archive) + " şimdiden sonra; eski yedekler silinmedi";
}

}  // namespace zel
