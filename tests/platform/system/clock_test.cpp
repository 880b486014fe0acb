#include "platform/system/clock.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

// The clock timer ticks a few milliseconds past each second boundary; the time it reads there
// must already be the new second, or the tick is dropped and a slot in that second is missed.
TEST(SystemClock, JustPastASecondBoundaryItReadsTheNewSecond) {
    SystemClock clock;
    for (int boundary = 0; boundary < 3; ++boundary) {
        const std::int64_t start = realTimeMicros();
        const std::int64_t next = (start / 1000000 + 1) * 1000000;
        std::int64_t now = start;
        while (now < next + 1000) now = realTimeMicros();  // 1 ms past the boundary
        const LocalDateTime seen = clock.now();
        EXPECT_EQ(seen, localDateTimeAt(now)) << "boundary " << boundary;
    }
}

TEST(SystemClock, LocalTimeOfAKnownMomentKeepsMinutesAndSeconds) {
    // 2024-03-05 09:07:05 UTC; time zones differ in hours (and some in half hours), never in seconds.
    const LocalDateTime t = localDateTimeAt(1709629625LL * 1000000 + 999999);
    EXPECT_EQ(t.second, 5);
    EXPECT_TRUE(t.minute == 7 || t.minute == 37 || t.minute == 52 || t.minute == 22) << t.minute;
}

}  // namespace
}  // namespace zel
