#pragma once

#include "platform/local_time.h"

namespace zel {

// Source of the local date and time; tests replace it with a clock they set.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
};

}  // namespace zel
