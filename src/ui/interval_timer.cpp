#include "ui/interval_timer.h"

namespace zel {

IntervalTimer::IntervalTimer(int intervalMs, QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    // A tick handler may wait for a program while it processes events. Qt does not activate a
    // timer again while its own timeout is being handled, so the tick is handed over as a posted
    // call: the timer stays free to tick during that wait.
    connect(&timer_, &QTimer::timeout, this, [this] { QMetaObject::invokeMethod(this, &IntervalTimer::deliver,
                                                                                Qt::QueuedConnection); });
    setInterval(intervalMs);
}

void IntervalTimer::setInterval(int intervalMs) {
    interval_ = intervalMs < 0 ? 0 : intervalMs;
    if (interval_ == 0) {
        timer_.stop();
    } else {
        timer_.start(interval_);
    }
}

void IntervalTimer::deliver() {
    if (interval_ != 0) emit tick();
}

}  // namespace zel
