#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/local_time.h"

namespace zel {

// How one folder pair of a run ended.
struct PairOutcome {
    enum class Kind {
        Archived,       // zip ended with 0, the archive reads back whole and holds the source
        ZipFailed,      // zip ended with another code, or without its archive
        ZipNotStarted,  // the zip program could not be started or waited for
        SourceMissing,  // nothing to back up: skipped
        Damaged,        // the archive does not read back whole
        Incomplete,     // a folder could not be listed, or a file is not in the archive
        Unchecked,      // a step threw before the pair could be told good
        NoRoom,         // the target volume could not hold it: zip was not started
        Refused,        // a folder text, or the zip program's place, may not go into a command line
    };
    Kind kind = Kind::SourceMissing;
    int pair = 0;  // 0..3
    std::string source;
    std::string target;
    std::string archivePath;
    std::optional<int> exitCode;
    std::uint64_t archiveBytes = 0;
    double seconds = 0;
    std::string problem;                // Damaged, Incomplete, Unchecked, NoRoom, Refused: why, in Turkish
    std::string renameFailure;          // why a failed archive kept its .zip name
    std::uint64_t filesVerified = 0;    // file entries read back with their CRC and size
    std::uint64_t leftOutByZip = 0;     // hidden or system items that zip's own rule leaves out
    std::vector<std::string> vanished;  // listed, gone before zip reached them (paths)
    std::vector<std::string> changed;   // archived while they were written (paths)
};

// What a run tells as it goes: the run log and the warning listen.
class BackupObserver {
public:
    virtual ~BackupObserver() = default;
    virtual void zipNotCopied(const std::string& from, const std::string& to) = 0;
    virtual void pairDone(const PairOutcome& outcome) = 0;
    // An old archive that retention deleted, or failed to (with why).
    virtual void oldArchiveDeleted(const std::string& /*path*/, const std::string& /*failure*/) {}
    // A file under the new archive's name that was not the program's, set aside unopened (or not,
    // with why: then zip was not started).
    virtual void foundInTheWay(const std::string& /*path*/, const std::string& /*why*/,
                               const std::string& /*setAside*/, const std::string& /*failure*/) {}
    // A target whose newest archive name lies ahead of the clock: nothing old was deleted there.
    virtual void clockWentBack(const std::string& /*archive*/) {}
    // A target that lies inside its own source: the pair runs all the same.
    virtual void targetInsideSource(const std::string& /*source*/, const std::string& /*target*/) {}
    // After a run, a target volume with room for fewer than three more runs like it.
    virtual void diskNearlyFull(const std::string& /*target*/, std::uint64_t /*free*/,
                                std::uint64_t /*runsLeft*/) {}
};

// What Info-ZIP's exit code means, in a few Turkish words.
std::string zipExitMeaning(int code);

// "<label>: <name>" for one name, "<label>: <n> <unit>, ilki <name>" for more; empty for none.
std::string namesText(std::string_view label, std::string_view unit, const std::vector<std::string>& names);

// The run log's line for a pair.
std::string pairLogText(const PairOutcome& outcome);

// The run log's lines naming a pair's files that changed or vanished while zip read them: the first
// 20 of each, then how many more.
std::vector<std::string> changedFileLines(const PairOutcome& outcome);

// True for a pair whose source exists but that did not end with a good archive.
bool pairFailed(const PairOutcome& outcome);

// Whether a run goes into the history: only when it archived at least one pair and no pair
// failed (a named source that is missing is skipped, not failed). The archive is the one built
// last; whyNot tells, in Turkish, why there is none.
struct RecordDecision {
    std::string archivePath;
    std::string whyNot;
};
RecordDecision recordDecision(const std::vector<PairOutcome>& outcomes);

// The tray warning for a failed pair: "Yedekleme başarısız: <source> -> <target> (<why>)".
std::string failureWarningText(const PairOutcome& outcome);

// A line of the run log: "yyyy-MM-dd HH:mm:ss  " then the text, then CR LF.
std::string runLogLine(const LocalDateTime& now, std::string_view text);

inline constexpr std::string_view kRunLogName = "TarvelYedek.log";
inline constexpr std::uint64_t kRunLogLimit = 1024 * 1024;

}  // namespace zel
