#include "engine/disk_space.h"

#include <algorithm>
#include <cstdio>

namespace zel {
namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
constexpr std::uint64_t kGiB = 1024 * kMiB;

// One decimal with a comma: 1.25 -> "1,3".
std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string s(text);
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

}  // namespace

std::uint64_t spaceReserve(std::uint64_t total) {
    return std::min(kGiB, total / 20);
}

std::uint64_t spaceNeeded(const VolumeSpace& space, std::optional<std::uint64_t> newestEarlierSize) {
    return newestEarlierSize.value_or(0) + spaceReserve(space.total);
}

std::string sizeText(std::uint64_t bytes) {
    const auto in = [bytes](std::uint64_t unit) {
        return static_cast<double>(bytes) / static_cast<double>(unit);
    };
    if (bytes >= kGiB) return oneDecimal(in(kGiB)) + " GB";
    if (bytes >= 10 * kMiB) return std::to_string((bytes + kMiB / 2) / kMiB) + " MB";
    if (bytes >= kMiB) return oneDecimal(in(kMiB)) + " MB";
    return std::to_string((bytes + kKiB / 2) / kKiB) + " KB";
}

std::string noRoomText(std::string_view target, std::uint64_t free, std::uint64_t need) {
    return "Yer yetersiz: " + std::string(target) + " (boş " + sizeText(free) + ", gereken " +
           sizeText(need) + ")";
}

std::optional<std::uint64_t> runsLeftWhenLow(std::uint64_t free, std::uint64_t writtenThisRun) {
    if (writtenThisRun == 0 || free / 3 >= writtenThisRun) return std::nullopt;
    return free / writtenThisRun;
}

std::string diskNearlyFullText(std::string_view target, std::uint64_t free, std::uint64_t runsLeft) {
    return "Yedek diski dolmak üzere: " + std::string(target) + " (" + sizeText(free) + " boş, yaklaşık " +
           std::to_string(runsLeft) + " yedeklik yer)";
}

}  // namespace zel
