#pragma once

#include <string>
#include <vector>

#include "window/machine.h"

namespace zel {

// Exit codes of `--durum`, as monitoring plugins read them.
inline constexpr int kStatusOk = 0;       // the last run was recorded, nothing is overdue
inline constexpr int kStatusWarning = 1;  // warnings of the last day are held, or copies are owed too long
inline constexpr int kStatusFailure = 2;  // the last run was not recorded, or backups are overdue
inline constexpr int kStatusUnknown = 3;  // no service, refused, another version

// The one line a monitoring system shows ("TAMAM: son yedek 2026-12-08 05:00", "UYARI: ...",
// "HATA: ...") and its exit code.
struct StatusSummary {
    int code = kStatusOk;
    std::string line;
};
StatusSummary statusSummary(const MachineStatus& status);

// Monitoring plugins' performance data for the summary line ("'label'=value[UOM];warn;crit;min"):
// the age of the pair furthest behind ("U" while a used pair has no archive), warned an hour before
// the overdue alarm and critical at it, and the number of held warnings.
std::string performanceData(const MachineStatus& status, const LocalDateTime& now);

// The service's state as `--durum` prints it: the summary first, then one line each, the held
// warnings and the run log's last lines at the end.
std::vector<std::string> statusLines(const MachineStatus& status, const LocalDateTime& now);

}  // namespace zel
