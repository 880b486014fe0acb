#include "window/daily_notices.h"

#include "engine/schedule.h"

namespace zel {

bool DailyNotices::tell(const std::string& key, const LocalDateTime& now) {
    const std::int64_t day = wallSecond({now.year, now.month, now.day, 0, 0, 0}) / (24 * 60 * 60);
    auto [it, added] = toldOn_.try_emplace(key, day);
    if (!added && it->second == day) return false;
    it->second = day;
    return true;
}

}  // namespace zel
