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

signals:
    void tick();

private:
    void deliver();

    QTimer timer_;
    int interval_ = 0;
};

}  // namespace zel
