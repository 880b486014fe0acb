#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mail/mail_text.h"
#include "platform/system/local_time.h"
#include "settings/mail_settings.h"

namespace zel {

// A run as its mail tells it: its log lines, the warnings it raised, and whether it failed (a
// pair without its archive, or no history record).
struct RunMailFacts {
    bool failed = false;
    std::vector<std::string> lines;
    std::vector<std::string> warnings;
};

// Whether a run is mailed: a failed one unless mail is off, a good one only with "hepsi".
bool runIsMailed(MailWhat what, bool failed);
// Whether warnings outside runs are mailed.
bool warningsAreMailed(MailWhat what);

// A mail's subject kind and body lines: what happened, the line `--durum` would print now, and
// the program's version.
struct MailContent {
    MailKind kind = MailKind::Warning;
    std::vector<std::string> body;
};
MailContent runMail(const RunMailFacts& run, const std::string& summaryLine);
MailContent warningMail(const std::vector<std::string>& warnings, const std::string& summaryLine);
MailContent testMail(const std::string& summaryLine);

// Warnings that come within a minute of each other share one mail: a batch is due a minute after
// its last warning, or ten minutes after its first while they keep coming.
class WarningBatch {
public:
    void add(std::string line, const LocalDateTime& now);
    // The batch's lines once it is due (`force`: now, whatever its age); it starts afresh.
    std::optional<std::vector<std::string>> takeDue(const LocalDateTime& now, bool force = false);
    bool waiting() const { return !lines_.empty(); }

private:
    std::vector<std::string> lines_;
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
};

}  // namespace zel
