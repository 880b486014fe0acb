#pragma once

#include <chrono>

#include "engine/schedule.h"
#include "platform/system/clock.h"

namespace zel::test {

// A clock the test sets and advances.
class FakeClock final : public Clock {
public:
    explicit FakeClock(LocalDateTime t = {2024, 3, 5, 9, 7, 0}) : now_(t) {}
    LocalDateTime now() const override {
        if (!running_) return now_;
        // Running: the set time plus the real seconds since it was set (within one day).
        auto secs =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - since_)
                .count();
        LocalDateTime t = now_;
        long total = t.hour * 3600L + t.minute * 60L + t.second + secs;
        t.hour = static_cast<int>(total / 3600 % 24);
        t.minute = static_cast<int>(total / 60 % 60);
        t.second = static_cast<int>(total % 60);
        return t;
    }
    // The set time read as UTC.
    std::int64_t unixSeconds() const override { return wallSecond(now()); }
    void set(LocalDateTime t) {
        now_ = t;
        since_ = std::chrono::steady_clock::now();
    }
    // From now on the clock moves with real time.
    void run() {
        since_ = std::chrono::steady_clock::now();
        running_ = true;
    }

private:
    LocalDateTime now_;
    bool running_ = false;
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
};

}  // namespace zel::test
