#pragma once

#include "platform/clock.h"

namespace zel::test {

// A clock the test sets and advances.
class FakeClock final : public Clock {
public:
    explicit FakeClock(LocalDateTime t = {2024, 3, 5, 9, 7, 0}) : now_(t) {}
    LocalDateTime now() const override { return now_; }
    void set(LocalDateTime t) { now_ = t; }

private:
    LocalDateTime now_;
};

}  // namespace zel::test
