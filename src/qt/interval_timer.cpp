#include "qt/interval_timer.h"

#include "engine/schedule.h"
#include "platform/system/clock.h"

namespace zel {

IntervalTimer::IntervalTimer(int intervalMs, QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    // A tick handler may wait for a program while it processes events. Qt does not activate a
    // timer again while its own timeout is being handled, so the tick is handed over as a posted
    // call: the timer stays free to tick during that wait.
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (secondAligned_) arm();
        QMetaObject::invokeMethod(this, &IntervalTimer::deliver, Qt::QueuedConnection);
    });
    setInterval(intervalMs);
}

void IntervalTimer::setInterval(int intervalMs) {
    interval_ = intervalMs < 0 ? 0 : intervalMs;
    arm();
}

void IntervalTimer::setSecondAligned(bool aligned) {
    secondAligned_ = aligned;
    arm();
}

void IntervalTimer::arm() {
    if (interval_ == 0) {
        timer_.stop();
    } else if (secondAligned_ && interval_ == 1000) {
        timer_.start(delayToNextSecond());
    } else {
        timer_.start(interval_);
    }
}

// Just past the boundary on the clock the label reads, so the tick sees the new second.
int IntervalTimer::delayToNextSecond() const {
    static const std::int64_t clockStep = measuredClockStepMicros();
    return msToNextSecondTick(realTimeMicros(), clockStep);
}

void IntervalTimer::deliver() {
    if (interval_ != 0) emit tick();
}

}  // namespace zel
