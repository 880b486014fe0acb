// Prints, from one run: the window's event latency while a 3 s program runs (with the
// event-aware wait and with plain 500 ms slices, beside the 500 ms design bound); then for 4,000
// small files, for one 500 MB file and for a database folder (three 300 MB files beside 200 small
// ones), the ratio of a backup run's wall time (its listing and read-back included) to running
// the same zip command line directly, the whole read-back alone with ISA-L and with zlib on the
// same archive, the run's own check after zip (most entries read back while zip wrote), the
// listing, the second look at every file that tells one written during zip, and the window's event
// latency meanwhile; for the large files also the resident memory the read-back and the whole run
// add.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/after_zip.h"
#include "engine/archive_check.h"
#include "engine/backup_run.h"
#include "engine/process_runner.h"
#include "engine/source_listing.h"
#include "platform/files/native_file_system.h"
#include "platform/processes/command_words.h"
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
    std::int64_t unixSeconds() const override { return 1709629620; }
};

// The program's own file system, noting when the run opens the archive zip finished: from then
// to the pair's outcome is the run's own check after zip, with whatever was read back during zip.
struct CheckTimer final : zel::NativeFileSystem, zel::BackupObserver {
    using NativeFileSystem::NativeFileSystem;
    std::string archive;
    Clock::time_point opened, done;
    std::unique_ptr<zel::FileReader> openForReading(const std::string& path) override {
        if (path == archive) opened = Clock::now();
        return NativeFileSystem::openForReading(path);
    }
    void zipNotCopied(const std::string&, const std::string&) override {}
    void pairDone(const zel::PairOutcome&) override { done = Clock::now(); }
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

// `count` files of 2 to 14 KB of loosely compressible text, 100 to a folder; their total size.
std::uint64_t writeSmallFiles(const fs::path& source, int count) {
    std::uint32_t seed = 12345;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        fs::path dir = source / ("d" + std::to_string(i / 100));
        fs::create_directories(dir);
        std::string body(2000 + (i * 397) % 12000, ' ');
        for (char& ch : body) {
            seed = seed * 1664525u + 1013904223u;
            ch = static_cast<char>('a' + (seed >> 24) % 26);
        }
        std::ofstream(dir / ("f" + std::to_string(i) + ".txt")) << body;
        total += body.size();
    }
    return total;
}

std::uint64_t writeSmallFiles(const fs::path& source) {
    return writeSmallFiles(source, 4000);
}

// A file laid out like a database extent in 8 KB pages: most pages hold text rows and leave
// their free space zero, every 16th is a dense index page and every 16th a blob of random bytes
// that does not compress. Written a page at a time.
std::uint64_t writeExtentFile(const fs::path& file, std::size_t megabytes, std::uint32_t seed) {
    static const char* const names[] = {"AHMET",   "MEHMET", "AYSE",  "FATMA", "MUSTAFA", "EMINE",
                                        "ALI",     "HATICE", "HUSEYIN", "ZEYNEP", "IBRAHIM", "ELIF",
                                        "OSMAN",   "MERVE",  "YUSUF", "SEVGI"};
    static const char* const towns[] = {"ISTANBUL", "ANKARA", "IZMIR", "BURSA",
                                        "ANTALYA",  "KONYA",  "ADANA", "TRABZON"};
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    std::vector<char> page(8192);
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    std::uint64_t row = 1;
    const std::size_t pages = megabytes * 1024 * 1024 / page.size();
    for (std::size_t p = 0; p < pages; ++p) {
        std::fill(page.begin(), page.end(), '\0');
        std::snprintf(page.data(), 64, "PG%08zu LSN%012llu", p,
                      static_cast<unsigned long long>(p * 37 + (next() & 0xFF)));
        if (p % 16 == 15) {
            for (std::size_t i = 64; i + 4 <= page.size(); i += 4) {
                const std::uint32_t v = next();
                std::memcpy(&page[i], &v, 4);
            }
        } else if (p % 16 == 14) {
            for (std::size_t at = 64; at + 16 <= page.size(); at += 16, ++row) {
                const std::uint64_t key = row * 8 + (next() & 7);
                const std::uint32_t value = next() & 0xFFFFF;
                std::memcpy(&page[at], &key, 8);
                std::memcpy(&page[at + 8], &value, 4);
            }
        } else {
            const std::size_t fill = 2048 + next() % 6000;
            for (std::size_t at = 64; at + 128 < fill;) {
                const unsigned year = 2015 + next() % 10, month = 1 + next() % 12, day = 1 + next() % 28;
                at += 1 + static_cast<std::size_t>(std::snprintf(
                              page.data() + at, 128, "%llu|%s %s|%s|%04u-%02u-%02u|%u.%02u|%c|",
                              static_cast<unsigned long long>(row++), names[next() % 16], names[next() % 16],
                              towns[next() % 8], year, month, day, next() % 100000, next() % 100,
                              "ABCP"[next() % 4]));
            }
        }
        out.write(page.data(), static_cast<std::streamsize>(page.size()));
    }
    return std::uint64_t{pages} * page.size();
}

std::uint64_t writeExtent(const fs::path& source) {
    return writeExtentFile(source / "extent.db", 500, 777);
}

// A database folder: three extents of 300 MB beside 200 small files.
std::uint64_t writeDatabase(const fs::path& source) {
    std::uint64_t total = writeSmallFiles(source / "ek", 200);
    for (std::uint32_t i = 0; i < 3; ++i)
        total += writeExtentFile(source / ("veri" + std::to_string(i) + ".db"), 300, 777 + i);
    return total;
}

// A line of /proc/self/status in MB ("VmRSS", "VmHWM"); -1 when it cannot be read.
double statusMb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key + ":", 0) == 0) return std::strtod(line.c_str() + key.size() + 1, nullptr) / 1024;
    }
    return -1;
}

// Sets the peak resident size back to the present one, so that VmHWM tells the peak from now.
void resetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double mbPerSecond(std::uint64_t bytes, double seconds) {
    return seconds > 0 ? bytes / 1e6 / seconds : 0;
}

// A backup run of one source folder against the same zip command run directly, five times each,
// the run's own check after zip, and on the archive the run made the whole read-back alone with
// each inflater.
void ratio(const char* label, std::uint64_t (*writeSource)(const fs::path&), bool showRss) {
    fs::path root = fs::temp_directory_path() / ("zel-bench-" + std::to_string(::getpid()));
    fs::path c = root / "drives" / "c";
    fs::create_directories(c / "brevund" / "tarvel" / "bat");
    fs::copy_file("/usr/bin/zip", c / "brevund" / "tarvel" / "bat" / "zip.ex_");
    const std::uint64_t sourceBytes = writeSource(c / "kaynak");
    zel::PathMap paths((root / "drives").string());
    CheckTimer files(paths);
    auto native = zel::makeNativeProcessOps(paths);
    zel::EventWaitProcessOps ops(*native);
    zel::RunnerHooks hooks;
    hooks.processEvents = [] { zel::processPendingEvents(); };
    zel::ProcessRunner runner(ops, hooks);
    Pairs view;
    view.src = "c:\\kaynak";
    view.dst = "c:\\hedef";
    FixedClock clock;
    zel::BackupRun run(view, files, clock, runner, zel::LocaleFormats::turkish(), nullptr, &files,
                       [] { zel::processPendingEvents(); });
    // The very line the run builds, started without the runner.
    const std::string direct =
        "c:\\brevund\\tarvel\\bat\\zip.exe c:\\hedef\\hedef20240305.0907.zip -r c:\\kaynak";
    const std::string archivePath = "c:\\hedef\\hedef20240305.0907.zip";
    files.archive = archivePath;
    // zip lists every file on standard output; both ways send it to /dev/null alike.
    std::fflush(stdout);
    int savedOut = dup(1);
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    fs::create_directories(c / "hedef");
    std::vector<double> viaRun, viaDirect, listing, stamps, fast, zlib, confirm, latencies, rssBefore, rssPeak,
        rssRunBefore, rssRunPeak;
    std::uint64_t archiveBytes = 0;
    for (int rep = 0; rep < 5; ++rep) {
        fs::remove(c / "hedef" / "hedef20240305.0907.zip");
        rssRunBefore.push_back(statusMb("VmRSS"));
        resetPeakRss();
        auto t = Clock::now();
        const std::vector<double> ms = eventLatencies([&] { run.run(); });
        viaRun.push_back(seconds(t));
        confirm.push_back(std::chrono::duration<double>(files.done - files.opened).count());
        rssRunPeak.push_back(statusMb("VmHWM"));
        latencies.insert(latencies.end(), ms.begin(), ms.end());
        archiveBytes = files.fileSize(archivePath).value_or(0);
        // The run's own checks alone: the listing before zip and the read-back after it.
        t = Clock::now();
        const zel::SourceListing listed = zel::listSource(files, view.src);
        listing.push_back(seconds(t));
        for (const zel::Inflation inflation : {zel::Inflation::Fast, zel::Inflation::Zlib}) {
            auto archive = files.openForReading(archivePath);
            rssBefore.push_back(statusMb("VmRSS"));
            resetPeakRss();
            t = Clock::now();
            const zel::ArchiveCheck check = zel::checkArchive(*archive, inflation);
            (inflation == zel::Inflation::Fast ? fast : zlib).push_back(seconds(t));
            if (inflation == zel::Inflation::Fast) {
                // What telling a file written during zip adds to the run: the look at every listed file
                // after the read-back, as the program's check after zip takes it (a difference of two
                // whole checks would be lost in their noise).
                t = Clock::now();
                const std::size_t looked = zel::stampsNow(files, listed).size();
                stamps.push_back(seconds(t));
                if (looked != listed.files.size())
                    std::fprintf(stderr, "looked at again: %zu of %zu\n", looked, listed.files.size());
            }
            rssPeak.push_back(statusMb("VmHWM"));
            if (!check.whole || check.files.size() != listed.files.size())
                std::fprintf(stderr, "read-back: %s\n", check.problem.c_str());
        }
        fs::remove(c / "hedef" / "hedef20240305.0907.zip");
        t = Clock::now();
        runDirect(direct, paths);
        viaDirect.push_back(seconds(t));
    }
    dup2(savedOut, 1);
    close(devNull);
    close(savedOut);
    const double r = percentile(viaRun, 0.5), d = percentile(viaDirect, 0.5), l = percentile(listing, 0.5),
                 f = percentile(fast, 0.5), z = percentile(zlib, 0.5), k = percentile(confirm, 0.5),
                 st = percentile(stamps, 0.5);
    std::fflush(stdout);
    std::printf("%s (%.1f MB, archive %.1f MB):\n", label, sourceBytes / 1e6, archiveBytes / 1e6);
    std::printf("  backup run, read-back included: median %.3f s; same zip run directly: median %.3f s; "
                "ratio %.3f (target <= 1.10)\n",
                r, d, r / d);
    std::printf("  runs:");
    for (std::size_t i = 0; i < viaRun.size(); ++i) std::printf(" %.3f/%.3f", viaRun[i], viaDirect[i]);
    std::printf(" s (run/zip)\n");
    std::printf(
        "  whole read-back alone: ISA-L median %.3f s (%.0f MB/s), zlib median %.3f s (%.0f MB/s), %.2fx; "
        "listing alone %.3f s\n",
        f, mbPerSecond(sourceBytes, f), z, mbPerSecond(sourceBytes, z), f > 0 ? z / f : 0, l);
    std::printf(
        "  the run's own check after zip, beside what it read back during zip: median %.3f s (%.0f MB/s of "
        "archive); "
        "with the listing %.1f %% of the run\n",
        k, mbPerSecond(archiveBytes, k), 100 * (l + k) / r);
    std::printf("  files written during zip, looked at again after it: adds median %.4f s, %.2f %% of the run "
                "(target <= 1 %%)\n",
                st, 100 * st / r);
    std::printf("  window events during the run: p99 %.2f ms, max %.2f ms (target < 50 ms)\n",
                percentile(latencies, 0.99), percentile(latencies, 1.0));
    if (showRss) {
        double overRead = 0, overRun = 0;
        for (std::size_t i = 0; i < rssPeak.size(); ++i) overRead = std::max(overRead, rssPeak[i] - rssBefore[i]);
        for (std::size_t i = 0; i < rssRunPeak.size(); ++i) overRun = std::max(overRun, rssRunPeak[i] - rssRunBefore[i]);
        std::printf("  RSS before the read-back %.1f MB; peak during it at most +%.1f MB (ISA-L and zlib), "
                    "during a whole run at most +%.1f MB (target +64 MB)\n",
                    rssBefore.front(), overRead, overRun);
    }
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
    ratio("4,000 small files", writeSmallFiles, false);
    ratio("one 500 MB database extent", writeExtent, true);
    ratio("a database folder: three 300 MB extents and 200 small files", writeDatabase, true);
    return 0;
}
