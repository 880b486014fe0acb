// Prints, from one run: the window's event latency while a 3 s program runs (with the
// event-aware wait and with plain 500 ms slices, beside the 500 ms design bound), the ratio of a
// backup run's wall time (its listing and read-back included) to running the same zip command
// lines directly, the share of the listing and read-back, and the window's event latency meanwhile.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/archive_check.h"
#include "engine/backup_run.h"
#include "engine/process_runner.h"
#include "engine/source_listing.h"
#include "platform/command_words.h"
#include "platform/native_file_system.h"
#include "qt/event_wait_ops.h"
#include "qt/toolkit.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct StampEvent : QEvent {
    static const QEvent::Type kType;
    explicit StampEvent(Clock::time_point t) : QEvent(kType), sent(t) {}
    Clock::time_point sent;
};
const QEvent::Type StampEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct LatencyProbe : QObject {
    std::vector<double> ms;
    bool event(QEvent* e) override {
        if (e->type() != StampEvent::kType) return QObject::event(e);
        ms.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - static_cast<StampEvent*>(e)->sent)
                .count());
        return true;
    }
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

// The latencies of events that another thread posts every 5 ms, as input would arrive, while
// work runs on the window's thread.
template <typename Work>
std::vector<double> eventLatencies(Work work) {
    LatencyProbe probe;
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) {
            QCoreApplication::postEvent(&probe, new StampEvent(Clock::now()));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    work();
    stop = true;
    poster.join();
    zel::processPendingEvents();
    return probe.ms;
}

void latency(const char* label, zel::ProcessOps& ops) {
    zel::RunnerHooks hooks;
    hooks.processEvents = [] { zel::processPendingEvents(); };
    zel::ProcessRunner runner(ops, hooks);
    int rc = 0;
    LatencyProbe probe;
    probe.ms = eventLatencies([&] { rc = runner.runAndWait("/bin/sleep 3", 0, 4, 0); });
    std::printf(
        "%-34s result %d, events %zu: p50 %7.2f ms  p99 %7.2f ms  max %7.2f ms  (design bound 500 ms)\n",
        label, rc, probe.ms.size(), percentile(probe.ms, 0.5), percentile(probe.ms, 0.99),
        percentile(probe.ms, 1.0));
}

struct Pairs final : zel::BackupView {
    std::string src, dst;
    std::string sourceFolder(int i) const override { return i == 0 ? src : ""; }
    std::string targetFolder(int i) const override { return i == 0 ? dst : ""; }
    void setCopyEnabled(bool) override {}
    void setExitCaption(const std::string&) override {}
    void setLastBackupText(const std::string&) override {}
    int archivesToKeep() const override { return 0; }
};

struct FixedClock final : zel::Clock {
    zel::LocalDateTime now() const override { return {2024, 3, 5, 9, 7, 0}; }
};

double seconds(Clock::time_point a) {
    return std::chrono::duration<double>(Clock::now() - a).count();
}

void runDirect(const std::string& line, const zel::PathMap& paths) {
    auto command = zel::nativeCommand(line, paths);
    std::vector<char*> argv;
    for (auto& w : command.words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!command.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.c_str());
    pid_t pid;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int st;
    waitpid(pid, &st, 0);
}

void ratio() {
    fs::path root = fs::temp_directory_path() / ("zel-bench-" + std::to_string(::getpid()));
    fs::path c = root / "drives" / "c";
    fs::create_directories(c / "brevund" / "tarvel" / "bat");
    fs::copy_file("/usr/bin/zip", c / "brevund" / "tarvel" / "bat" / "zip.ex_");
    const int kFiles = 4000;
    // Files of 2 to 14 KB of loosely compressible text, in 40 folders.
    std::uint32_t seed = 12345;
    for (int i = 0; i < kFiles; ++i) {
        fs::path dir = c / "kaynak" / ("d" + std::to_string(i / 100));
        fs::create_directories(dir);
        std::string body(2000 + (i * 397) % 12000, ' ');
        for (char& ch : body) {
            seed = seed * 1664525u + 1013904223u;
            ch = static_cast<char>('a' + (seed >> 24) % 26);
        }
        std::ofstream(dir / ("f" + std::to_string(i) + ".txt")) << body;
    }
    zel::PathMap paths((root / "drives").string());
    zel::NativeFileSystem files(paths);
    auto native = zel::makeNativeProcessOps(paths);
    zel::EventWaitProcessOps ops(*native);
    zel::RunnerHooks hooks;
    hooks.processEvents = [] { zel::processPendingEvents(); };
    zel::ProcessRunner runner(ops, hooks);
    Pairs view;
    view.src = "c:\\kaynak";
    view.dst = "c:\\hedef";
    FixedClock clock;
    zel::BackupRun run(view, files, clock, runner, zel::LocaleFormats::turkish(), nullptr, nullptr,
                       [] { zel::processPendingEvents(); });
    // The very line the run builds, started without the runner.
    const std::string direct =
        "c:\\brevund\\tarvel\\bat\\zip.exe c:\\hedef\\hedef20240305.0907.zip -r c:\\kaynak";
    // zip lists every file on standard output; both ways send it to /dev/null alike.
    std::fflush(stdout);
    int savedOut = dup(1);
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    fs::create_directories(c / "hedef");
    std::vector<double> viaRun, viaDirect, listing, checking, latencies;
    for (int rep = 0; rep < 5; ++rep) {
        fs::remove(c / "hedef" / "hedef20240305.0907.zip");
        auto t = Clock::now();
        const std::vector<double> ms = eventLatencies([&] { run.run(); });
        viaRun.push_back(seconds(t));
        latencies.insert(latencies.end(), ms.begin(), ms.end());
        // The run's own checks alone: the listing before zip and the read-back after it.
        t = Clock::now();
        const std::size_t listed = zel::listSource(files, view.src).files.size();
        listing.push_back(seconds(t));
        t = Clock::now();
        auto archive = files.openForReading("c:\\hedef\\hedef20240305.0907.zip");
        const zel::ArchiveCheck check = zel::checkArchive(*archive);
        checking.push_back(seconds(t));
        if (!check.whole || check.files.size() != listed)
            std::fprintf(stderr, "read-back: %s\n", check.problem.c_str());
        fs::remove(c / "hedef" / "hedef20240305.0907.zip");
        t = Clock::now();
        runDirect(direct, paths);
        viaDirect.push_back(seconds(t));
    }
    dup2(savedOut, 1);
    close(devNull);
    close(savedOut);
    double r = percentile(viaRun, 0.5), d = percentile(viaDirect, 0.5), l = percentile(listing, 0.5),
           k = percentile(checking, 0.5);
    std::fflush(stdout);
    std::printf(
        "backup run over %d files, read-back included: median %.3f s; same zip run directly: median %.3f s; "
        "ratio %.3f (target <= 1.15)\n"
        "listing alone: median %.3f s; read-back alone: median %.3f s; together %.1f %% of the run; window "
        "events during the run: p99 %.2f ms, max %.2f ms (target < 50 ms)\n",
        kFiles, r, d, r / d, l, k, 100 * (l + k) / r, percentile(latencies, 0.99),
        percentile(latencies, 1.0));
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto native = zel::makeNativeProcessOps(zel::PathMap("/nonexistent"));
    zel::EventWaitProcessOps eventAware(*native);
    latency("event-aware wait (the program's):", eventAware);
    latency("plain 500 ms slices:", *native);
    ratio();
    return 0;
}
