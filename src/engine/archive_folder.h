#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/system/local_time.h"

namespace zel {

// One of this program's archives in a target folder: <prefix><yyyyMMdd>.<HHmm>.zip, or such an
// archive renamed after it failed (.zip.bozuk, .zip.eksik; .zip.<n>.bozuk beside an earlier one).
struct ProgramArchive {
    enum class State { Good, Damaged, Incomplete };
    std::string name;
    std::string stamp;  // "yyyyMMdd.HHmm": sorts as the time it names
    State state = State::Good;
};

inline constexpr std::string_view kDamagedSuffix = ".bozuk";
inline constexpr std::string_view kIncompleteSuffix = ".eksik";
// A file that was found under an archive's name before zip ran, and was not the program's.
inline constexpr std::string_view kFoundSuffix = ".bulunan";

// The archive a file name stands for, when it is one of this program's names for `prefix` (what
// the archive name rule makes of the target); nothing for any other name.
std::optional<ProgramArchive> programArchive(std::string_view name, std::string_view prefix);

// The newest good archive among the names, by the time in its name.
std::optional<ProgramArchive> newestArchive(const std::vector<std::string>& names, std::string_view prefix);

// The names to delete so that `keep` good archives remain, the newest by their names' times and
// always `justBuilt`; when any goes, the failed ones older than the oldest kept go with them.
// Nothing when keep is 0, and never a name that is not this program's.
std::vector<std::string> archivesBeyond(const std::vector<std::string>& names, std::string_view prefix,
                                        int keep, std::string_view justBuilt);

// The pair an archive belongs to, by its entries' names: the one of `prefixes` (zipEntryPrefix of
// each pair's source) under which every entry lies, the longest when sources lie inside each
// other. Nothing when none holds them all: an archive that two pairs wrote in one minute is
// nobody's alone. Letter case counts unless `ignoreCase` (Windows' names).
std::optional<std::string> owningPrefix(const std::vector<std::string>& entries,
                                        const std::vector<std::string>& prefixes, bool ignoreCase);

// The time an archive's name gives (its seconds are 0).
LocalDateTime stampTime(std::string_view stamp);

// The good archives of this program in a target folder, leaving out a name ahead of `now` (a
// clock once set wrong) and a file that is not the program's own.
std::vector<ProgramArchive> goodArchives(FileSystem& files, const std::string& target, const LocalDateTime& now);

// The time of the newest good archive in any of the target folders, by the names' times, leaving
// out a name ahead of `now` (a clock once set wrong).
std::optional<LocalDateTime> newestArchiveTime(FileSystem& files, const std::vector<std::string>& targets,
                                               const LocalDateTime& now);

// How far a name may lie ahead of the clock (a run in this minute, a clock a little off) before
// the clock is thought to have gone back.
inline constexpr int kClockSlackMinutes = 10;

// The newest of this program's names (in any state) when it lies more than kClockSlackMinutes
// ahead of `now`: the clock went back, and the names' order is no age order.
std::optional<ProgramArchive> archiveAheadOf(const std::vector<std::string>& names, std::string_view prefix,
                                             const LocalDateTime& now);

// "Saat geri gitmiş görünüyor: <archive> şimdiden sonra; eski yedekler silinmedi".
std::string clockWentBackText(std::string_view archive);

}  // namespace zel
