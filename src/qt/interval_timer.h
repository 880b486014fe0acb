#pragma once

#include <QObject>
#include <QTimer>

namespace zel {

// A timer in the window toolkit's terms: interval 0 means no ticks, and setting a nonzero
// interval starts the countdown afresh. A running QTimer with interval 0 would fire continuously.
class IntervalTimer : public QObject {
    Q_OBJECT
public:
    explicit IntervalTimer(int intervalMs = 0, QObject* parent = nullptr);

    int interval() const { return interval_; }
    void setInterval(int intervalMs);
    bool isTicking() const { return timer_.isActive(); }

    // With a 1000 ms interval, ticks fall just after each start of a second on the system clock,
    // so that drift can never carry a tick over a whole second.
    void setSecondAligned(bool aligned);

signals:
    void tick();

private:
    void deliver();
    void arm();
    int delayToNextSecond() const;

    QTimer timer_;
    int interval_ = 0;
    bool secondAligned_ = false;
};

}  // namespace zel
