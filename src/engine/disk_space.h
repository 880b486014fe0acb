#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/file_system.h"

namespace zel {

// Room a target volume keeps beyond a backup: 1 GiB, or 5 % of a smaller volume.
std::uint64_t spaceReserve(std::uint64_t total);

// What a new archive needs before its zip starts: the newest earlier archive's size (as much as
// the new one will likely take) plus the reserve; with no earlier archive, the reserve alone.
std::uint64_t spaceNeeded(const VolumeSpace& space, std::optional<std::uint64_t> newestEarlierSize);

// A size as the log shows it, with the Turkish decimal comma: "1,2 GB", "350 MB", "4,5 MB", "12 KB".
std::string sizeText(std::uint64_t bytes);

// "Yer yetersiz: <target> (boş <free>, gereken <need>)".
std::string noRoomText(std::string_view target, std::uint64_t free, std::uint64_t need);

// After a run: how many more runs like it fit, when fewer than three do; nothing otherwise.
std::optional<std::uint64_t> runsLeftWhenLow(std::uint64_t free, std::uint64_t writtenThisRun);

// "Yedek diski dolmak üzere: <target> (<free> boş, yaklaşık <N> yedeklik yer)".
std::string diskNearlyFullText(std::string_view target, std::uint64_t free, std::uint64_t runsLeft);

}  // namespace zel
