#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/local_time.h"

namespace zel {

// One schedule slot as the window holds it: the switch's value (nonzero is on) and its time.
struct ScheduleSlot {
    int switchValue = 0;
    TimeOfDay time;
};

// The clock label: the local time as "HH:MM:SS" with the locale's time separator.
std::string clockText(const LocalDateTime& now, std::string_view timeSeparator);

// The first slot (0..2) whose time, written the same way, equals the clock text and whose
// switch is on; -1 when none is due. Seconds count: 12:00:30 is due only in that second.
int firstDueSlot(std::string_view clockLabel, const std::array<ScheduleSlot, 3>& slots,
                 std::string_view timeSeparator);

}  // namespace zel
