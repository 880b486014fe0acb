#pragma once

#include <cstdint>

#include "platform/system/local_time.h"

namespace zel {

// Source of the local date and time; tests replace it with a clock they set.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
    // Seconds since 1970 in UTC, for what other machines read (a monitoring system's metrics).
    virtual std::int64_t unixSeconds() const = 0;
};

// Microseconds since 1970 from the precise real-time clock. The clock label and the alignment of
// the clock timer both read this one clock: a coarser one lags the second boundary by a few
// milliseconds, and a tick armed just past the boundary would read the second before.
std::int64_t realTimeMicros();

// The local date and time at a moment of realTimeMicros.
LocalDateTime localDateTimeAt(std::int64_t micros);

// The granularity of realTimeMicros: the smallest step between two different readings, sampled
// for a moment. Microseconds or less on a precise clock, milliseconds on a coarse one.
std::int64_t measuredClockStepMicros();

class SystemClock final : public Clock {
public:
    LocalDateTime now() const override { return localDateTimeAt(realTimeMicros()); }
    std::int64_t unixSeconds() const override { return realTimeMicros() / 1000000; }
};

}  // namespace zel
