#pragma once

#include <string>
#include <string_view>

#include "db/database_thread.h"

namespace zel {

// The run log's line for a history record, with its time in the queue when that was more than
// a second: a record that waited long shows why it came late.
std::string recordLogText(const DbOutcome& outcome);

inline constexpr std::string_view kRecordUnfinishedAtEnd =
    "Yedekleme kaydı yazılamadı: program kapanırken 3 sn içinde bitmedi";

}  // namespace zel
