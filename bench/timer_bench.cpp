// Drives the clock timer for a few minutes on a loaded machine and prints, side by side, how many
// wall-clock seconds went without a tick: the second-aligned timer the window uses, and a plain
// 1000 ms QTimer. Usage: timer_bench [seconds] (default 180).
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <set>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include "ui/interval_timer.h"

extern char** environ;

namespace {

struct SecondLog {
    std::set<qint64> seconds;
    void tick() { seconds.insert(QDateTime::currentMSecsSinceEpoch() / 1000); }
    // Seconds between the first and the last tick that saw no tick at all.
    qint64 skipped() const {
        if (seconds.size() < 2) return 0;
        return (*seconds.rbegin() - *seconds.begin() + 1) - static_cast<qint64>(seconds.size());
    }
};

std::vector<pid_t> startLoad(int processes) {
    std::vector<pid_t> pids;
    char sh[] = "/bin/sh", c[] = "-c", loop[] = "while :; do :; done";
    char* argv[] = {sh, c, loop, nullptr};
    for (int i = 0; i < processes; ++i) {
        pid_t pid;
        if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0) pids.push_back(pid);
    }
    return pids;
}

void stopLoad(const std::vector<pid_t>& pids) {
    for (pid_t p : pids) kill(p, SIGKILL);
    for (pid_t p : pids) waitpid(p, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 180;
    const int loadProcesses = 4;  // twice the cores of these machines
    auto load = startLoad(loadProcesses);

    SecondLog aligned, plain;
    zel::IntervalTimer alignedTimer(1000);
    alignedTimer.setSecondAligned(true);
    QObject::connect(&alignedTimer, &zel::IntervalTimer::tick, [&] { aligned.tick(); });
    QTimer plainTimer;
    plainTimer.setInterval(1000);
    QObject::connect(&plainTimer, &QTimer::timeout, [&] { plain.tick(); });
    plainTimer.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    stopLoad(load);

    std::printf("%d s with %d busy processes on the side:\n", seconds, loadProcesses);
    std::printf("  second-aligned timer: %zu seconds ticked, %lld skipped (target 0)\n",
                aligned.seconds.size(), static_cast<long long>(aligned.skipped()));
    std::printf("  plain 1000 ms QTimer: %zu seconds ticked, %lld skipped\n", plain.seconds.size(),
                static_cast<long long>(plain.skipped()));
    return 0;
}
