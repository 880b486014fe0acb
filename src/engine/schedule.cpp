#include "engine/schedule.h"

#include "engine/date_text.h"

namespace zel {

std::string clockText(const LocalDateTime& now, std::string_view timeSeparator) {
    return timeOfDayText(now.hour, now.minute, now.second, timeSeparator);
}

int firstDueSlot(std::string_view clockLabel, const std::array<ScheduleSlot, 3>& slots,
                 std::string_view timeSeparator) {
    for (int k = 0; k < 3; ++k) {
        const ScheduleSlot& slot = slots[static_cast<std::size_t>(k)];
        if (timeOfDayText(slot.time, timeSeparator) == clockLabel && slot.switchValue != 0) return k;
    }
    return -1;
}

}  // namespace zel
