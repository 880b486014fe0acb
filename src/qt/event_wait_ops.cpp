#include "qt/event_wait_ops.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

namespace zel {

int EventWaitProcessOps::wait(ProcessHandle handle, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int now = native_.wait(handle, 0);
        if (now != kWaitTimeout) return now;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) return kWaitTimeout;

        QEventLoop loop;
#ifdef Q_OS_WIN
        QWinEventNotifier ended(reinterpret_cast<HANDLE>(handle));
        QObject::connect(&ended, &QWinEventNotifier::activated, &loop, [&] {
            ended.setEnabled(false);
            loop.quit();
        });
#else
        QSocketNotifier ended(static_cast<qintptr>(handle), QSocketNotifier::Read);
        // Once signalled, the notifier is switched off: an ended process stays readable and would
        // otherwise keep firing while a nested wait runs inside this loop.
        QObject::connect(&ended, &QSocketNotifier::activated, &loop, [&] {
            ended.setEnabled(false);
            loop.quit();
        });
#endif
        QTimer slice;
        slice.setSingleShot(true);
        slice.setTimerType(Qt::PreciseTimer);
        QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
        slice.start(static_cast<int>(left));
        loop.exec();
        // Whatever woke the loop (the process, the slice, or an inner wait that quit it), the
        // process state is asked again at the top.
    }
}

}  // namespace zel
