// Runs the window's own clock path (frmMain's Timer2 on the real second-aligned timer, the
// system clock and the slot matching) with a slot due in every second, beside busy processes,
// and prints the seconds elapsed, the seconds the clock label showed, the slots due and fired.
// Then, with a real PostgreSQL frozen mid-run, prints the longest time the window's event loop
// did not answer while it polled and recorded a backup.
// Usage: timer_bench [seconds=600] [frozen seconds=60]
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include "db/odbc_connection.h"
#include "engine/schedule.h"
#include "platform/files/native_file_system.h"
#include "platform/processes/process.h"
#include "platform/system/clock.h"
#include "qt/event_wait_ops.h"
#include "qt/qt_front_end.h"
#include "qt/toolkit.h"
#include "window/frmMain.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

// The files of the program, counting the runs: each run starts by putting the zip program in place.
class CountingFiles final : public zel::NativeFileSystem {
public:
    using NativeFileSystem::NativeFileSystem;
    int runs = 0;
    bool copyFile(const std::string& from, const std::string& to) override {
        ++runs;
        return NativeFileSystem::copyFile(from, to);
    }
};

class SilentTray final : public zel::Tray {
public:
    void addIcon() override {}
    void deleteIcon() override {}
    void popUp(QMenu&) override {}
    void showWarning(const QString&, const QString&) override {}
};

// The bench's windows are the only copies.
struct AloneInstance final : zel::SingleInstance {
    bool claim(std::function<void()>) override { return true; }
    void askRunningCopyToShow() override {}
};

struct NoDatabase final : zel::DatabaseConnection {
    void open(const std::string&) override { throw zel::DatabaseError("no data source", "IM002"); }
    int state() const override { return 0; }
    zel::QueryResult execute(const std::string&) override { throw zel::DatabaseError("closed", "08003"); }
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

// The program's window as main() makes it: frmMain in the Qt front end, whose waits keep the
// events flowing.
struct ProgramWindow {
    ProgramWindow(zel::FileSystem& files, const zel::Clock& clock, zel::ProcessOps& processes,
                  const std::string& folder, zel::ConnectionFactory connections, zel::Tray& tray,
                  zel::SingleInstance& instance)
        : windowProcesses(processes),
          view(tray, [] {}),
          form({{files, clock, windowProcesses, processes, zel::LocaleFormats::turkish(), folder,
                 std::move(connections), [] { return std::string("BENCH"); }},
                instance},
               view) {
        view.attach(form);
    }
    zel::EventWaitProcessOps windowProcesses;
    zel::QtFrontEnd view;
    zel::frmMain form;
};

// Runs the event loop for a while.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void timerFigures(int seconds) {
    const fs::path dir = fs::temp_directory_path() / "zel-timer-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    zel::PathMap paths((dir / "drives").string());
    CountingFiles files(paths);
    zel::SystemClock clock;
    auto processes = zel::makeNativeProcessOps(paths);
    SilentTray tray;
    AloneInstance alone;
    ProgramWindow program(
        files, clock, *processes, dir.string(), [] { return std::make_unique<NoDatabase>(); }, tray, alone);
    zel::QtFrontEnd& w = program.view;
    zel::frmMain& form = program.form;
    form.Form_Load();  // an empty settings file: every switch on

    // Half-way through each second, the slots are moved on so that each of the next three
    // seconds has one: slot k takes the second whose number leaves k when divided by 3.
    auto moveSlots = [&] {
        const std::int64_t now = zel::realTimeMicros() / 1000000;
        for (std::int64_t s = now + 1; s <= now + 3; ++s) {
            const zel::LocalDateTime t = zel::localDateTimeAt(s * 1000000);
            w.slotPicker(static_cast<int>(s % 3))->setTime(QTime(t.hour, t.minute, t.second));
        }
    };
    runFor(zel::msToNextSecondTick(zel::realTimeMicros(), 0) + 500);
    moveSlots();
    QTimer mover;
    mover.setTimerType(Qt::PreciseTimer);
    QObject::connect(&mover, &QTimer::timeout, moveSlots);
    mover.start(1000);

    std::set<QString> labels;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { labels.insert(w.lblTime->text()); });
    sampler.start(10);

    const int loadProcesses = 4;  // twice the cores of these machines
    auto load = startLoad(loadProcesses);
    const std::int64_t first = zel::realTimeMicros() / 1000000 + 1;  // the first second with a slot
    const int runsBefore = files.runs;
    runFor(seconds * 1000);
    // Started half-way through a second, the run ends half-way through one: its tick has come.
    const std::int64_t last = zel::realTimeMicros() / 1000000;
    stopLoad(load);
    mover.stop();
    sampler.stop();

    std::int64_t missedLabels = 0;
    for (std::int64_t s = first; s <= last; ++s) {
        const QString text = QString::fromStdString(zel::clockText(zel::localDateTimeAt(s * 1000000), ":"));
        if (!labels.count(text)) ++missedLabels;
    }
    const std::int64_t due = last - first + 1;
    const int fired = files.runs - runsBefore;
    std::printf("Clock and schedule, %d s beside %d busy processes (clock step %lld us):\n", seconds,
                loadProcesses, static_cast<long long>(zel::measuredClockStepMicros()));
    std::printf("  seconds elapsed %lld, seen by the label %lld (missed %lld, target 0)\n",
                static_cast<long long>(due), static_cast<long long>(due - missedLabels),
                static_cast<long long>(missedLabels));
    std::printf("  slots due %lld, fired %d (missed %lld, target 0)\n", static_cast<long long>(due), fired,
                static_cast<long long>(std::max<std::int64_t>(0, due - fired)));
    std::fflush(stdout);
    fs::remove_all(dir);
}

int shell(const std::string& line) {
    return std::system(line.c_str());
}

void frozenDatabaseFigure(int frozenSeconds) {
    const fs::path dir = fs::temp_directory_path() / "zel-freeze-bench";
    fs::remove_all(dir);
    fs::create_directories(dir / "drives" / "c" / "brevund" / "belgeler");
    fs::create_directories(dir / "drives" / "c" / "brevund" / "tarvel" / "bat");
    fs::copy_file("/usr/bin/zip", dir / "drives" / "c" / "brevund" / "tarvel" / "bat" / "zip.ex_");
    std::FILE* f = std::fopen((dir / "drives" / "c" / "brevund" / "belgeler" / "veri.txt").c_str(), "w");
    if (f) std::fputs("veri\n", f), std::fclose(f);
    const std::string pg = std::string("bash '") + ZEL_PG_SCRIPT + "' ";
    const std::string pgDir = "'" + (dir / "pg").string() + "'";
    if (shell(pg + "start " + pgDir) != 0) {
        std::printf("Frozen database: PostgreSQL did not start; no figure\n");
        return;
    }
    ::setenv("ODBCSYSINI", (dir / "pg" / "odbc").c_str(), 1);

    zel::PathMap paths((dir / "drives").string());
    zel::NativeFileSystem files(paths);
    zel::SystemClock clock;
    auto processes = zel::makeNativeProcessOps(paths);
    SilentTray tray;
    AloneInstance alone;
    {
        ProgramWindow program(
            files, clock, *processes, dir.string(), [] { return std::make_unique<zel::OdbcConnection>(); },
            tray, alone);
        zel::QtFrontEnd& w = program.view;
        zel::frmMain& form = program.form;
        form.Form_Load();
        w.txtKaynak[0]->setText(QStringLiteral("c:\\brevund\\belgeler"));
        for (int i = 1; i < 4; ++i) w.txtKaynak[i]->setText(QString());
        w.show();
        runFor(2000);

        // The window's pulse: a 5 ms timer whose longest gap, less 5 ms, is how long it did not answer.
        Steady::time_point lastBeat = Steady::now();
        Steady::time_point frozenAt = lastBeat;
        Steady::duration longest{};
        Steady::duration longestAt{};
        QTimer pulse;
        pulse.setTimerType(Qt::PreciseTimer);
        QObject::connect(&pulse, &QTimer::timeout, [&] {
            const auto now = Steady::now();
            if (now - lastBeat > longest) {
                longest = now - lastBeat;
                longestAt = lastBeat - frozenAt;
            }
            lastBeat = now;
        });
        shell(pg + "freeze " + pgDir);
        lastBeat = frozenAt = Steady::now();
        pulse.start(5);
        // Polls tick on their own every 10 s; a backup made during the freeze posts its record.
        QTimer::singleShot(3000, &w, [&] { form.cmdCopy_Click(); });
        runFor(frozenSeconds * 1000);
        pulse.stop();
        shell(pg + "thaw " + pgDir);
        const double ms = std::chrono::duration<double, std::milli>(longest).count() - 5.0;
        std::printf("Frozen database, %d s of polls and a backup's record:\n", frozenSeconds);
        std::printf(
            "  longest time the window did not answer: %.1f ms (target under 100 ms), %.1f s into the "
            "freeze\n",
            std::max(0.0, ms), std::chrono::duration<double>(longestAt).count());
        std::fflush(stdout);
        runFor(22000);  // the database thread's waits end before the window goes
    }
    shell(pg + "stop " + pgDir);
    fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says at every shown window that it cannot raise it.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtWarningMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int frozen = argc > 2 ? std::atoi(argv[2]) : 60;
    timerFigures(seconds);
    frozenDatabaseFigure(frozen);
    return 0;
}
