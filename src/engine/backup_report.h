#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_time.h"

namespace zel {

// How one folder pair of a run ended.
struct PairOutcome {
    enum class Kind {
        Archived,       // zip ended with 0 and the archive is there
        ZipFailed,      // zip ended with another code, or without its archive
        ZipNotStarted,  // the zip program could not be started or waited for
        SourceMissing,  // nothing to back up: skipped
    };
    Kind kind = Kind::SourceMissing;
    std::string source;
    std::string target;
    std::string archivePath;
    std::optional<int> exitCode;
    std::uint64_t archiveBytes = 0;
    double seconds = 0;
};

// What a run tells as it goes: the run log and the warning listen.
class BackupObserver {
public:
    virtual ~BackupObserver() = default;
    virtual void zipNotCopied(const std::string& from, const std::string& to) = 0;
    virtual void pairDone(const PairOutcome& outcome) = 0;
};

// What Info-ZIP's exit code means, in a few Turkish words.
std::string zipExitMeaning(int code);

// The run log's line for a pair.
std::string pairLogText(const PairOutcome& outcome);

// True for a pair whose source exists but that did not end with a good archive.
bool pairFailed(const PairOutcome& outcome);

// The tray warning for a failed pair: "Yedekleme başarısız: <source> -> <target> (<why>)".
std::string failureWarningText(const PairOutcome& outcome);

// A line of the run log: "yyyy-MM-dd HH:mm:ss  " then the text, then CR LF.
std::string runLogLine(const LocalDateTime& now, std::string_view text);

inline constexpr std::string_view kRunLogName = "TarvelYedek.log";
inline constexpr std::uint64_t kRunLogLimit = 1024 * 1024;

}  // namespace zel
