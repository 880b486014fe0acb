#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace zel {

// SIGTERM and SIGHUP (a shutdown, the end of the terminal's session, kill), and for the service
// SIGINT (Ctrl+C), as a Qt signal on the thread that made this object: the handler only writes a
// byte into a pipe that the event loop watches. One object per process.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(bool interruptToo = false, QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void caught();

private:
    QSocketNotifier* notifier_ = nullptr;
    bool interruptToo_ = false;
};

}  // namespace zel
