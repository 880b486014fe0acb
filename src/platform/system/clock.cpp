#include <algorithm>
#include <limits>

#include "platform/system/clock.h"

namespace zel {

std::int64_t measuredClockStepMicros() {
    // The smallest step, not the largest: a reading delayed by the scheduler says nothing
    // about the clock.
    constexpr int kSteps = 20;
    std::int64_t smallest = std::numeric_limits<std::int64_t>::max();
    std::int64_t last = realTimeMicros();
    for (int seen = 0; seen < kSteps;) {
        const std::int64_t now = realTimeMicros();
        if (now != last) {
            if (now > last) smallest = std::min(smallest, now - last);
            last = now;
            ++seen;
        }
    }
    return smallest == std::numeric_limits<std::int64_t>::max() ? 0 : smallest;
}

}  // namespace zel
