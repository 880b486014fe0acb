#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/system/local_time.h"

namespace zel {

// Says each notice once a day: a warning that every run would repeat (a missing source, a disk
// filling up) reaches the user once, and again the next day if it still holds.
class DailyNotices {
public:
    // True when the notice with this key has not been told on now's date.
    bool tell(const std::string& key, const LocalDateTime& now);

private:
    std::map<std::string, std::int64_t> toldOn_;  // key -> day number
};

}  // namespace zel
