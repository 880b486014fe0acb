#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <fstream>
#include <new>

#include "engine/archive_follower.h"
#include "engine/backup_run.h"
#include "engine/run_commands.h"
#include "platform/security/program_trust.h"
#include "platform/files/native_file_system.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/core/zip_writer.h"

// While set, no thread can be made, as when the process has reached its limit of threads.
static std::atomic<bool> refuseThreads{false};

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    return refuseThreads ? EAGAIN : real(thread, attr, start, arg);
}

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::unzipList;

// The window as the run sees it, with a record of what the run did to it.
struct FakeView final : BackupView {
    std::array<std::string, 4> sources{"c:\\brevund", "c:\\brevund", "c:\\brevund", "c:\\brevund"};
    std::array<std::string, 4> targets{"c:\\tarvel-yedek", "c:\\tarvel-yedek", "c:\\tarvel-yedek",
                                       "c:\\tarvel-yedek"};
    bool copyEnabled = true;
    std::string exitCaption = "Gizle";
    std::string lastBackup;
    std::vector<std::string> captions;

    std::string sourceFolder(int i) const override { return sources[i]; }
    std::string targetFolder(int i) const override { return targets[i]; }
    void setCopyEnabled(bool e) override { copyEnabled = e; }
    void setExitCaption(const std::string& c) override {
        exitCaption = c;
        captions.push_back(c);
    }
    void setLastBackupText(const std::string& t) override { lastBackup = t; }
    int archivesToKeep() const override { return keep; }
    int keep = 0;
};

// Records every command line and passes it on to the real processes.
struct RecordingOps final : ProcessOps {
    explicit RecordingOps(ProcessOps& real) : real(real) {}
    ProcessOps& real;
    std::vector<std::string> lines;
    std::function<void()> onStart;
    std::uint32_t start(const std::string& line, int style) override {
        lines.push_back(line);
        const std::uint32_t pid = real.start(line, style);
        if (onStart) onStart();
        return pid;
    }
    std::optional<ProcessHandle> open(std::uint32_t pid) override { return real.open(pid); }
    int wait(ProcessHandle h, int ms) override { return real.wait(h, ms); }
    std::optional<int> exitCode(ProcessHandle h) override { return real.exitCode(h); }
    void close(ProcessHandle h) override { real.close(h); }
    bool kill(ProcessHandle h) override { return real.kill(h); }
    std::uint32_t startCommand(const std::string& line, const Environment& environment,
                               std::shared_ptr<CommandOutput> output) override {
        return real.startCommand(line, environment, std::move(output));
    }
};

// What the run told as it went.
struct RecordingObserver final : BackupObserver {
    std::vector<std::string> notCopied;
    std::vector<PairOutcome> pairs;
    void zipNotCopied(const std::string& from, const std::string&) override { notCopied.push_back(from); }
    void pairDone(const PairOutcome& outcome) override { pairs.push_back(outcome); }
    std::vector<std::string> deleted, inside, nearlyFull, found, back;
    void oldArchiveDeleted(const std::string& path, const std::string& failure) override {
        deleted.push_back(path + failure);
    }
    void foundInTheWay(const std::string& path, const std::string& why, const std::string& aside,
                       const std::string&) override {
        found.push_back(path + " " + why + " " + aside);
    }
    void clockWentBack(const std::string& archive) override { back.push_back(archive); }
    void targetInsideSource(const std::string& source, const std::string&) override {
        inside.push_back(source);
    }
    void diskNearlyFull(const std::string& target, std::uint64_t, std::uint64_t runsLeft) override {
        nearlyFull.push_back(target + " " + std::to_string(runsLeft));
    }
};

class BackupRunTest : public ::testing::Test {
protected:
    BackupRunTest()
        : paths(drives.root().string()),
          files(paths),
          native(makeNativeProcessOps(paths)),
          ops(*native),
          runner(ops, RunnerHooks{}),
          run(
              view, files, clock, runner, LocaleFormats::turkish(), [this] { ++records; }, &observer) {
        drives.installZip();
        fs::create_directories(drives.drive('c') / "brevund" / "belgeler" / "alt");
        test::writeFile(drives.drive('c') / "brevund" / "belgeler" / "alt" / "rapor.txt", "rapor\r\n");
    }

    fs::path onC(const std::string& rel) const { return drives.drive('c') / rel; }

    test::TempDrives drives;
    PathMap paths;
    NativeFileSystem files;
    std::unique_ptr<ProcessOps> native;
    RecordingOps ops;
    ProcessRunner runner;
    FakeView view;
    FakeClock clock{{2024, 3, 5, 9, 7, 12}};
    int records = 0;
    RecordingObserver observer;
    BackupRun run;
};

TEST_F(BackupRunTest, ArchivesEachExistingSourceWithItsWholeTree) {
    view.targets = {"c:\\y0", "c:\\y1", "c:\\y2", "c:\\y3"};
    run.run();
    for (int i = 0; i < 4; ++i) {
        auto archive = onC("y" + std::to_string(i) + "/y" + std::to_string(i) + "20240305.0907.zip");
        ASSERT_TRUE(fs::exists(archive)) << archive;
        std::string list = unzipList(archive);
        EXPECT_NE(list.find("brevund/belgeler/alt/rapor.txt"), std::string::npos) << list;
    }
    EXPECT_EQ(run.archiveName(), "y320240305.0907.zip");
    EXPECT_EQ(run.builtArchivePath(), "c:\\y3\\y320240305.0907.zip");
    EXPECT_EQ(ops.lines[0], "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y0\\y020240305.0907.zip -r c:\\brevund");
}

TEST_F(BackupRunTest, ButtonAndCaptionDuringAndAfterTheRun) {
    bool disabledDuringZip = false;
    std::string captionDuringZip;
    ops.onStart = [&] {
        disabledDuringZip = !view.copyEnabled;
        captionDuringZip = view.exitCaption;
    };
    run.run();
    EXPECT_TRUE(disabledDuringZip);
    EXPECT_EQ(captionDuringZip, "\xC4\xB0ptal");
    EXPECT_TRUE(view.copyEnabled);
    EXPECT_EQ(view.exitCaption, "Gizle");
    EXPECT_EQ(view.lastBackup, "Son Yedekleme Tarihi: \r\n05.03.2024 09:07:12   ");
    EXPECT_EQ(records, 1);
}

TEST_F(BackupRunTest, TargetFoldersAreCreatedAlsoForMissingSources) {
    view.sources = {"c:\\brevund", "c:\\yok", "", "c:\\yok2"};
    view.targets = {"c:\\h0", "c:\\h1", "c:\\h2", "c:\\h3"};
    run.run();
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(fs::is_directory(onC("h" + std::to_string(i)))) << i;
    EXPECT_EQ(ops.lines.size(), 1u);  // only the existing source was zipped, silently
    EXPECT_TRUE(fs::is_empty(onC("h2")));
}

TEST_F(BackupRunTest, TargetEndingInBackslashStartsTheNameWithTheYear) {
    view.sources = {"c:\\brevund", "", "", ""};
    view.targets = {"c:\\yedek\\", "", "", ""};
    run.run();
    ASSERT_EQ(ops.lines.size(), 1u);
    EXPECT_EQ(ops.lines[0],
              "c:\\brevund\\tarvel\\bat\\zip.exe c:\\yedek\\\\20240305.0907.zip -r c:\\brevund");
    EXPECT_TRUE(fs::exists(onC("yedek/20240305.0907.zip")));
}

TEST_F(BackupRunTest, EachPairReadsTheClockWhenItsNameIsBuilt) {
    view.sources = {"c:\\brevund", "c:\\brevund\\belgeler", "", ""};
    view.targets = {"c:\\t", "c:\\t", "", ""};
    ops.onStart = [&] { clock.set({2024, 3, 5, 9, 8, 0}); };  // the first zip runs into the next minute
    run.run();
    ASSERT_EQ(ops.lines.size(), 2u);
    EXPECT_NE(ops.lines[0].find("t20240305.0907.zip"), std::string::npos);
    EXPECT_NE(ops.lines[1].find("t20240305.0908.zip"), std::string::npos);
}

TEST_F(BackupRunTest, TwoPairsWithOneTargetInOneMinuteShareTheName) {
    view.sources = {"c:\\brevund", "c:\\brevund\\belgeler", "", ""};
    view.targets = {"c:\\t", "c:\\t", "", ""};
    run.run();
    ASSERT_EQ(ops.lines.size(), 2u);
    EXPECT_EQ(ops.lines[0].substr(0, ops.lines[0].find(" -r ")),
              ops.lines[1].substr(0, ops.lines[1].find(" -r ")));
    EXPECT_TRUE(fs::exists(onC("t/t20240305.0907.zip")));
}

// The default settings name one pair four times: it is zipped once.
TEST_F(BackupRunTest, APairRepeatedInTheSameRunIsZippedOnce) {
    run.run();
    EXPECT_EQ(ops.lines.size(), 1u);
    EXPECT_EQ(observer.pairs.size(), 1u);
    EXPECT_EQ(run.builtArchivePath(), "c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip");
    // The same folders written otherwise are the same pair; here letter case makes another folder.
    view.sources = {"c:\\brevund", "c:\\brevund\\", "c:/brevund", "C:\\Brevund"};
    view.targets = {"c:\\tarvel-yedek", "c:\\tarvel-yedek\\", "c:\\tarvel-yedek", "c:\\tarvel-yedek"};
    observer.pairs.clear();
    ops.lines.clear();
    run.run();
    EXPECT_EQ(ops.lines.size(), 1u);
    ASSERT_EQ(observer.pairs.size(), 2u);
    EXPECT_EQ(observer.pairs[1].kind, PairOutcome::Kind::SourceMissing);
}

TEST_F(BackupRunTest, FoldersWithSpacesAreArchivedWhole) {
    fs::create_directories(onC("my docs/alt"));
    test::writeFile(onC("my docs/alt/a b.txt"), "x");
    view.sources = {"c:\\brevund", "c:\\my docs", "", ""};
    view.targets = {"c:\\t", "c:\\eski yedek", "", ""};
    run.run();
    ASSERT_EQ(ops.lines.size(), 2u);
    EXPECT_EQ(ops.lines[1],
              "c:\\brevund\\tarvel\\bat\\zip.exe \"c:\\eski yedek\\eski yedek20240305.0907.zip\" -r \"c:\\my "
              "docs\"");
    std::string list = unzipList(onC("eski yedek/eski yedek20240305.0907.zip"));
    EXPECT_NE(list.find("my docs/alt/a b.txt"), std::string::npos) << list;
}

TEST_F(BackupRunTest, ZipIsCopiedOnEveryRunAndStaysExecutable) {
    view.sources = {"c:\\yok", "", "", ""};
    run.run();
    ASSERT_TRUE(fs::exists(drives.zipExe()));
    EXPECT_NE(fs::status(drives.zipExe()).permissions() & fs::perms::owner_exec, fs::perms::none);
    // A changed stored copy reaches zip.exe at the next run.
    test::writeFile(drives.zipExe(), "old");
    fs::permissions(drives.zipExe(), fs::perms::owner_read | fs::perms::owner_write);
    run.run();
    EXPECT_EQ(fs::file_size(drives.zipExe()), fs::file_size("/usr/bin/zip"));
    EXPECT_NE(fs::status(drives.zipExe()).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(BackupRunTest, MissingStoredZipLeavesTheExistingOneInUse) {
    run.run();  // puts zip.exe in place
    fs::remove(onC("brevund/tarvel/bat/zip.ex_"));
    view.targets = {"c:\\t2", "", "", ""};
    view.sources = {"c:\\brevund", "", "", ""};
    run.run();
    EXPECT_TRUE(fs::exists(onC("t2/t220240305.0907.zip")));
}

// A hand-edited settings file cannot make a run start anything but zip, or zip from anywhere but
// a drive's folder: such a pair fails, and the run ends as every run does.
TEST_F(BackupRunTest, UnsoundTextsAndAFirstSourceWithoutADriveStartNoProgram) {
    const std::string attack = "c:\\out\" -T -TT \"sh /tmp/x #";
    struct Case {
        std::array<std::string, 4> sources, targets;
        std::string problem;
    };
    for (const Case& c : {
             Case{{"", "c:\\brevund", "", ""}, {"c:\\t", "c:\\t", "", ""}, "İlk kaynak klasör bir sürücüyle başlamalı: "},
             Case{{"brevund", "", "", ""}, {"c:\\t", "", "", ""}, "İlk kaynak klasör bir sürücüyle başlamalı: brevund"},
             Case{{"c:\\brevund", "", "", ""}, {attack, "", "", ""}, "Geçersiz klasör adı: " + attack},
             Case{{"c:\\brev\tund", "", "", ""}, {"c:\\t", "", "", ""}, "Geçersiz klasör adı: c:\\brev\\x09und"},
         }) {
        view.sources = c.sources;
        view.targets = c.targets;
        observer.pairs.clear();
        fs::remove(drives.zipExe());
        records = 0;
        run.run();
        EXPECT_TRUE(ops.lines.empty()) << ops.lines.front();
        ASSERT_EQ(observer.pairs.size(), 1u) << c.problem;
        EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::Refused);
        EXPECT_EQ(observer.pairs[0].problem, c.problem);
        EXPECT_TRUE(run.builtArchivePath().empty());
        EXPECT_EQ(records, 1);
        EXPECT_EQ(fs::exists(drives.zipExe()), c.sources[0].starts_with("c:\\"));
    }
    EXPECT_FALSE(fs::exists(onC("out\" -T -TT \"sh")));
}

// The service runs the system's zip: zip.ex_ is neither copied nor run.
TEST_F(BackupRunTest, AnOwnZipIsRunInsteadOfTheStoredOne) {
    BackupRun service(view, files, clock, runner, LocaleFormats::turkish(), [] {}, &observer, {}, "/usr/bin/zip");
    fs::remove(drives.zipExe());
    view.sources = {"\\\\sunucu\\yok", "c:\\brevund", "", ""};
    view.targets = {"c:\\t", "c:\\t", "", ""};
    service.run();
    ASSERT_EQ(ops.lines.size(), 1u);
    EXPECT_EQ(ops.lines[0], "/usr/bin/zip c:\\t\\t20240305.0907.zip -r c:\\brevund");
    EXPECT_FALSE(fs::exists(drives.zipExe()));
    EXPECT_EQ(service.builtArchivePath(), "c:\\t\\t20240305.0907.zip");
}

TEST_F(BackupRunTest, RunWithoutSourcesStillCopiesLabelsAndRecords) {
    view.sources = {"c:\\yok", "", "", ""};
    run.run();
    EXPECT_TRUE(fs::exists(drives.zipExe()));
    EXPECT_TRUE(ops.lines.empty());
    EXPECT_FALSE(view.lastBackup.empty());
    EXPECT_EQ(records, 1);
    EXPECT_EQ(run.archiveName(), "");
    EXPECT_EQ(run.builtArchivePath(), "");
}

TEST_F(BackupRunTest, ArchiveNameSurvivesARunThatBuildsNone) {
    view.targets = {"c:\\t", "c:\\t", "c:\\t", "c:\\t"};
    run.run();
    const std::string first = run.archiveName();
    ASSERT_FALSE(first.empty());
    view.sources = {"c:\\yok", "", "", ""};
    run.run();
    EXPECT_EQ(run.archiveName(), first);
    EXPECT_EQ(run.builtArchivePath(), "");  // the record must not count this run
}

TEST_F(BackupRunTest, CancelStopsFurtherPairsAndIsClearedByTheNextRun) {
    view.targets = {"c:\\a", "c:\\b", "c:\\c", "c:\\d"};
    ops.onStart = [&] { run.requestCancel(); };
    run.run();
    EXPECT_EQ(ops.lines.size(), 1u);  // the zip that was running finished; no further pair
    EXPECT_TRUE(fs::exists(onC("a/a20240305.0907.zip")));
    EXPECT_FALSE(fs::exists(onC("b")));
    EXPECT_TRUE(view.copyEnabled);
    EXPECT_EQ(records, 1);

    ops.onStart = nullptr;
    run.run();
    EXPECT_FALSE(run.cancelRequested());
    EXPECT_EQ(ops.lines.size(), 5u);
}

TEST_F(BackupRunTest, NoSecondRunStartsInsideARun) {
    view.targets = {"c:\\a", "c:\\b", "c:\\c", "c:\\d"};
    int nestedLines = -1;
    ops.onStart = [&] {
        if (nestedLines == -1) {
            nestedLines = 0;
            const auto before = ops.lines.size();
            run.run();  // a press of "Yedekle" while the first zip waits
            nestedLines = static_cast<int>(ops.lines.size() - before);
        }
    };
    run.run();
    EXPECT_EQ(nestedLines, 0);
    EXPECT_EQ(ops.lines.size(), 4u);
    EXPECT_EQ(records, 1);
}

TEST_F(BackupRunTest, RecordFailureChangesNothingElse) {
    BackupRun failing(view, files, clock, runner, LocaleFormats::turkish(),
                      [] { throw std::runtime_error("db"); });
    EXPECT_NO_THROW(failing.run());
    EXPECT_TRUE(view.copyEnabled);
    EXPECT_EQ(view.exitCaption, "Gizle");
}

// The real files, but an archive read back throws what a failed allocation throws.
struct ReadsThatThrow final : NativeFileSystem {
    using NativeFileSystem::NativeFileSystem;
    struct Reader final : FileReader {
        std::uint64_t size() const override { return 1 << 20; }
        std::optional<std::size_t> readAt(std::uint64_t, char*, std::size_t) override {
            throw std::bad_alloc();
        }
    };
    std::unique_ptr<FileReader> openForReading(const std::string&) override {
        return std::make_unique<Reader>();
    }
};

// Whatever a step throws, the run ends as a run ends and the next one runs.
TEST_F(BackupRunTest, ARunThatThrowsFailsThePairAndTheNextRunRecords) {
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    ReadsThatThrow throwing(paths);
    BackupRun failing(
        view, throwing, clock, runner, LocaleFormats::turkish(), [this] { ++records; }, &observer);
    failing.run();
    ASSERT_EQ(observer.pairs.size(), 1u);
    EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::Unchecked);
    EXPECT_EQ(observer.pairs[0].problem, "denetlenemedi: std::bad_alloc");
    EXPECT_EQ(failing.builtArchivePath(), "");
    EXPECT_TRUE(view.copyEnabled);
    EXPECT_EQ(view.exitCaption, "Gizle");
    EXPECT_FALSE(failing.running());

    // Without a thread to be had the listing and the read-back run on the run's own thread.
    BackupRun live(
        view, files, clock, runner, LocaleFormats::turkish(), [this] { ++records; }, &observer, [] {});
    ops.onStart = [] { refuseThreads = true; };
    live.run();
    refuseThreads = false;
    ASSERT_EQ(observer.pairs.size(), 2u);
    EXPECT_EQ(observer.pairs[1].kind, PairOutcome::Kind::Archived) << observer.pairs[1].problem;
    EXPECT_EQ(observer.pairs[1].filesVerified, 1u);
    EXPECT_EQ(live.builtArchivePath(), "c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip");
    EXPECT_EQ(records, 2);
}

// A run is recorded only when it archived a pair and no pair failed; a missing source is no failure.
TEST_F(BackupRunTest, OneFailedPairKeepsTheRunOutOfTheHistory) {
    struct Case {
        std::array<std::string, 4> sources, targets;
        std::string built, whyNot;
    };
    const Case cases[] = {
        {{"c:\\brevund", "c:\\brevund", "", ""},
         {"c:\\yok\\alt", "c:\\t", "", ""},
         "",
         "başarısız bir klasör çifti var: c:\\brevund -> c:\\yok\\alt"},
        {{"c:\\brevund", "c:\\yok", "", ""}, {"c:\\t", "c:\\u", "", ""}, "c:\\t\\t20240305.0907.zip", ""},
        {{"c:\\yok", "", "", ""}, {"c:\\t", "", "", ""}, "", "sağlam bir arşiv yok"},
    };
    for (const Case& c : cases) {
        view.sources = c.sources;
        view.targets = c.targets;
        run.run();
        EXPECT_EQ(run.builtArchivePath(), c.built) << c.targets[0];
        EXPECT_EQ(run.whyNotRecorded(), c.whyNot) << c.targets[0];
    }
}

// A target on a small volume of its own (tmpfs, as root can mount one): zip is not started when
// the newest earlier archive and the reserve do not fit, and runs once there is room.
TEST_F(BackupRunTest, ZipStartsOnlyWhenTheTargetVolumeHasRoom) {
    const fs::path target = onC("dar");
    fs::create_directories(target);
    auto mountWithSize = [&](const char* option) {
        return std::system(("mount -t tmpfs -o " + std::string(option) + " tmpfs '" + target.string() +
                            "' 2>/dev/null")
                               .c_str()) == 0;
    };
    if (!mountWithSize("size=4m")) GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        fs::path at;
        ~Unmount() { std::system(("umount '" + at.string() + "'").c_str()); }
    } unmount{target};
    test::writeFile(target / "dar20240304.0907.zip", std::string(3 * 1024 * 1024, 'x'));
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    view.targets = {"c:\\dar", "", "", ""};
    run.run();
    ASSERT_EQ(observer.pairs.size(), 1u);
    EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::NoRoom);
    EXPECT_EQ(observer.pairs[0].problem, "Yer yetersiz: c:\\dar (boş 1,0 MB, gereken 3,2 MB)");
    EXPECT_TRUE(ops.lines.empty());
    EXPECT_EQ(run.builtArchivePath(), "");

    ASSERT_TRUE(mountWithSize("remount,size=104m"));
    run.run();
    ASSERT_EQ(observer.pairs.size(), 2u);
    EXPECT_EQ(observer.pairs[1].kind, PairOutcome::Kind::Archived) << observer.pairs[1].problem;
    EXPECT_EQ(run.builtArchivePath(), "c:\\dar\\dar20240305.0907.zip");
}

// With a number to keep, a good run deletes the target's oldest archives of this program's
// names and nothing else; a failed one deletes nothing and gives up its .zip name.
// An archive of c:\brevund\belgeler as an earlier run wrote it.
const std::string ofBelgeler = test::zipArchive({{"brevund/belgeler/", "", false}, {"brevund/belgeler/a.txt", "a"}});

TEST_F(BackupRunTest, RetentionDeletesOnlyOldArchivesAfterAGoodRun) {
    const fs::path y = onC("y");
    const std::vector<std::string> older = {"y20240301.0500.zip", "y20240302.0500.zip", "y20240303.0500.zip",
                                            "y20240304.0500.zip"};
    for (const std::string& name : older) test::writeFile(y / name, ofBelgeler);
    for (const char* other : {"notlar.zip", "yedek-eski.zip", "klasor/y20240101.0100.zip"})
        test::writeFile(y / other, "dokunma");
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    view.targets = {"c:\\y", "", "", ""};
    view.keep = 2;
    run.run();
    std::vector<std::string> left;
    for (const auto& item : fs::directory_iterator(y)) left.push_back(item.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"klasor", "notlar.zip", "y20240304.0500.zip",
                                              "y20240305.0907.zip", "yedek-eski.zip"}));
    EXPECT_EQ(observer.deleted,
              (std::vector<std::string>{"c:\\y\\y20240303.0500.zip", "c:\\y\\y20240302.0500.zip",
                                        "c:\\y\\y20240301.0500.zip"}));

    // A damaged archive: it is renamed, and the two older ones stay.
    observer.deleted.clear();
    clock.set({2024, 3, 5, 9, 8, 0});
    test::writeFile(onC("brevund/belgeler/veri.db"), "VERI-7Kq2");
    test::putZipStandIn(drives.drive('c'),
                        "zip \"$@\" >/dev/null || exit $?\n"
                        "at=$(grep -abo 'VERI-' \"$1\" | head -1 | cut -d: -f1)\n"
                        "printf 'X' | dd of=\"$1\" bs=1 seek=$at conv=notrunc 2>/dev/null");
    run.run();
    EXPECT_TRUE(observer.deleted.empty());
    EXPECT_TRUE(fs::exists(y / "y20240305.0908.zip.bozuk"));
    EXPECT_FALSE(fs::exists(y / "y20240305.0908.zip"));
    EXPECT_TRUE(fs::exists(y / "y20240304.0500.zip"));
    EXPECT_EQ(observer.pairs.back().archivePath, "c:\\y\\y20240305.0908.zip.bozuk");

    // Damaged again in the same minute: numbered beside the first, which stays as it was.
    run.run();
    EXPECT_EQ(observer.pairs.back().archivePath, "c:\\y\\y20240305.0908.zip.1.bozuk");
    EXPECT_TRUE(fs::exists(y / "y20240305.0908.zip.bozuk"));

    // An incomplete one, and one that zip itself failed on, keep no .zip name either, and delete nothing.
    clock.set({2024, 3, 5, 9, 9, 0});
    test::putZipStandIn(drives.drive('c'), "zip \"$@\" -x '*veri.db' >/dev/null");
    run.run();
    clock.set({2024, 3, 5, 9, 10, 0});
    test::putZipStandIn(drives.drive('c'), "zip \"$@\" >/dev/null; exit 18");
    run.run();
    EXPECT_TRUE(observer.deleted.empty());
    EXPECT_TRUE(fs::exists(y / "y20240305.0909.zip.eksik"));
    EXPECT_TRUE(fs::exists(y / "y20240305.0910.zip.eksik"));
    EXPECT_TRUE(fs::exists(y / "y20240304.0500.zip"));
}

// Two pairs into one folder share its names: each one's retention counts only the archives of its
// own source, so neither deletes the other's newest, and one archive that both wrote in the same
// minute is nobody's alone and stays.
TEST_F(BackupRunTest, RetentionIsPerPairInASharedTarget) {
    fs::create_directories(onC("stok"));
    test::writeFile(onC("stok/s.txt"), "s");
    view.sources = {"c:\\brevund\\belgeler", "c:\\stok", "", ""};
    view.targets = {"c:\\y", "c:\\y", "", ""};
    view.keep = 1;
    auto left = [&] {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(onC("y"))) names.push_back(item.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    };
    run.run();  // 09:07: one archive holds both pairs
    const std::vector<std::string> both = {"y20240305.0907.zip"};
    EXPECT_EQ(left(), both);
    // From now on each pair writes its own minute's archive: each zip takes a minute.
    ops.onStart = [&] {
        LocalDateTime next = clock.now();
        ++next.minute;
        clock.set(next);
    };
    for (int hour : {10, 11, 12}) {
        clock.set({2024, 3, 5, hour, 0, 0});
        run.run();
        const std::string h = std::to_string(hour);
        EXPECT_EQ(left(), (std::vector<std::string>{"y20240305.0907.zip", "y20240305." + h + "00.zip",
                                                    "y20240305." + h + "01.zip"}));
    }
    EXPECT_EQ(observer.deleted.size(), 4u);
}

// Whether a process still runs: gone, or a zombie nobody reaped yet, is not running.
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] != 'Z';
}

// The program's end in the middle of a pair: zip is ended with what it started, its work file
// goes, and an archive it finished that was never read back gives up its .zip name.
TEST_F(BackupRunTest, AStopInMidRunLeavesNothingRunningAndNoUncheckedArchive) {
    const std::string child = onC("cocuk").string();
    const std::string waitWithAChild = "sleep 60 &\necho $! >" + child + "\nwait";
    struct Case {
        const char* name;
        std::string script;
        std::string said;
        bool archiveLeft;
    };
    for (const Case& c : {
             Case{"while zip writes", "touch \"$(dirname \"$1\")/ziABCDEF\"\n" + waitWithAChild,
                  "zip durduruldu, iş dosyası silindi: ziABCDEF", false},
             Case{"once zip wrote the archive", "zip \"$@\" >/dev/null\n" + waitWithAChild,
                  "zip durduruldu, denetlenmemiş arşiv: c:\\t\\t20240305.0907.zip.eksik", true},
         }) {
        SCOPED_TRACE(c.name);
        fs::remove_all(onC("t"));
        fs::remove(child);
        test::putZipStandIn(drives.drive('c'), c.script);
        std::string said;
        BackupRun* stopping = nullptr;
        const ProcessRunner stopAtTheFirstSlice(ops, RunnerHooks{[&] {
                                                    if (said.empty() && stopping) said = stopping->stopInMidRun();
                                                }, {}, {}});
        BackupRun stopped(view, files, clock, stopAtTheFirstSlice, LocaleFormats::turkish(), {}, &observer);
        stopping = &stopped;
        view.sources = {"c:\\brevund\\belgeler", "", "", ""};
        view.targets = {"c:\\t", "", "", ""};
        stopped.run();
        EXPECT_EQ(said, c.said);
        const pid_t sleeper = std::stoi(test::readFile(child));
        for (int i = 0; i < 40 && running(sleeper); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(running(sleeper));
        EXPECT_FALSE(fs::exists(onC("t/ziABCDEF")));
        EXPECT_FALSE(fs::exists(onC("t/t20240305.0907.zip")));
        EXPECT_EQ(fs::exists(onC("t/t20240305.0907.zip.eksik")), c.archiveLeft);
    }
}

// The space read through the file system: before zip, then after the run.
struct ScriptedSpace final : NativeFileSystem {
    using NativeFileSystem::NativeFileSystem;
    std::vector<VolumeSpace> spaces;  // one per reading; the last one stays
    std::size_t readings = 0;
    std::optional<VolumeSpace> volumeSpace(const std::string&) override {
        return spaces[std::min(readings++, spaces.size() - 1)];
    }
};

// In a target that others may write, what another user puts under the program's names is never
// updated, counted for room or retention, nor deleted: a file under the new archive's name is set
// aside unopened, planted newer names push out no real archive, and a planted giant is no
// earlier archive to make room for.
TEST_F(BackupRunTest, AnotherUsersFilesUnderTheProgramsNamesAreNeverItsArchives) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make files of another user here";
    ScriptedSpace space(paths);
    space.spaces = {{2ull << 30, 100ull << 30}};
    BackupRun watched(view, space, clock, runner, LocaleFormats::turkish(), {}, &observer);
    const fs::path y = onC("y");
    const auto plant = [&](const std::string& name, const std::string& bytes) {
        test::writeFile(y / name, bytes);
        ::chown((y / name).c_str(), 4242, 4242);
        ::chmod((y / name).c_str(), 0666);
    };
    const std::string evil = test::zipArchive({{"brevund/belgeler/evil.txt", "onun"}});
    plant("y20240305.0907.zip", evil);        // the name this run's archive takes
    plant("y20240306.0500.zip", ofBelgeler);  // newer names, holding the pair's source
    plant("y20240307.0500.zip", ofBelgeler);
    test::writeFile(y / "y20240301.0500.zip", ofBelgeler);  // the program's own earlier archives
    test::writeFile(y / "y20240302.0500.zip", ofBelgeler);
    plant("y20240305.0906.zip", std::string());
    fs::resize_file(y / "y20240305.0906.zip", 8ull << 40);  // 8 TB of nothing, newest before this run
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    view.targets = {"c:\\y", "", "", ""};
    view.keep = 2;
    watched.run();

    ASSERT_EQ(observer.pairs.size(), 1u);
    EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::Archived) << observer.pairs[0].problem;
    EXPECT_EQ(observer.found,
              (std::vector<std::string>{"c:\\y\\y20240305.0907.zip sahibi başka bir kullanıcı (uid 4242) "
                                        "c:\\y\\y20240305.0907.zip.bulunan"}));
    EXPECT_EQ(test::readFile(y / "y20240305.0907.zip.bulunan"), evil);  // set aside as it was
    EXPECT_EQ(unzipList(y / "y20240305.0907.zip").find("evil.txt"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat((y / "y20240305.0907.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(observer.deleted, (std::vector<std::string>{"c:\\y\\y20240301.0500.zip"}));
    EXPECT_TRUE(observer.back.empty());
    for (const char* planted : {"y20240306.0500.zip", "y20240307.0500.zip", "y20240305.0906.zip"})
        EXPECT_TRUE(fs::exists(y / planted)) << planted;
}

// Whatever zip made, it must be this program's file alone and hold the pair's source alone.
TEST_F(BackupRunTest, AnArchiveOthersMayReadOrThatHoldsAStrangersEntryFails) {
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    view.targets = {"c:\\y", "", "", ""};
    const std::string scripts[] = {
        "zip \"$@\" >/dev/null || exit $?\nchmod 0666 \"$1\"",
        "zip \"$@\" >/dev/null || exit $?\ncd \"$(mktemp -d)\" && echo x >evil.txt && zip -q \"$1\" evil.txt",
    };
    const std::string problems[] = {"arşiv bu programın değil: izinleri fazla geniş (0666)",
                                    "arşivde kaynağın dışından bir dosya var: evil.txt"};
    for (int i = 0; i < 2; ++i) {
        clock.set({2024, 3, 5, 9, 10 + i, 0});
        test::putZipStandIn(drives.drive('c'), scripts[i]);
        run.run();
        ASSERT_EQ(observer.pairs.size(), static_cast<std::size_t>(i + 1));
        EXPECT_EQ(observer.pairs[i].kind, PairOutcome::Kind::Damaged) << observer.pairs[i].problem;
        EXPECT_EQ(observer.pairs[i].problem, problems[i]);
        EXPECT_EQ(observer.pairs[i].archivePath.substr(observer.pairs[i].archivePath.size() - 10),
                  ".zip.bozuk");
    }
}

TEST_F(BackupRunTest, AVolumeWithRoomForFewerThanThreeRunsIsTold) {
    ScriptedSpace space(paths);
    constexpr std::uint64_t MB = 1024 * 1024;
    space.spaces = {{60 * MB, 1000 * MB}, {1000, 1000 * MB}};
    BackupRun watched(view, space, clock, runner, LocaleFormats::turkish(), {}, &observer);
    view.sources = {"c:\\brevund", "", "", ""};
    view.targets = {"c:\\brevund\\yedek", "", "", ""};  // inside its source, too
    watched.run();
    ASSERT_EQ(observer.pairs.size(), 1u);
    ASSERT_EQ(observer.nearlyFull.size(), 1u);
    EXPECT_EQ(observer.nearlyFull[0].rfind("c:\\brevund\\yedek ", 0), 0u);
    EXPECT_EQ(observer.inside, std::vector<std::string>{"c:\\brevund"});
}

// Failures made to happen for real: each pair whose source exists but that does not end with
// a whole archive of its whole source is reported with why, and is never the run's archive.
TEST_F(BackupRunTest, FailedPairsAreReportedWithZipsCodeAndNeverCountAsBuilt) {
    using Kind = PairOutcome::Kind;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        Kind kind;
        std::optional<int> code;
        std::string problem = {};
        std::string left = {};  // the end of the one file the pair left in its target, if any
    };
    const Case cases[] = {
        {"a file zip cannot open",
         [this] {
             // A socket cannot be opened for reading, by root either.
             const std::string path = (onC("brevund/belgeler/baglanti")).string();
             int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un addr{};
             addr.sun_family = AF_UNIX;
             std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
             ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
             ::close(fd);
         },
         Kind::ZipFailed, 18, "", ".zip.eksik"},
        {"a target folder that cannot be made", [this] { view.targets[0] = "c:\\yok\\alt"; }, Kind::ZipFailed,
         15},
        {"a disk that fills up", [this] { test::putZipStandIn(drives.drive('c'), "exit 14"); },
         Kind::ZipFailed, 14},
        {"zip ending well without its archive", [this] { test::putZipStandIn(drives.drive('c'), "exit 0"); },
         Kind::ZipFailed, 0},
        {"no zip program at all", [this] { fs::remove(onC("brevund/tarvel/bat/zip.ex_")); },
         Kind::ZipNotStarted, std::nullopt},
        {"an archive damaged on its way to the disk",
         [this] {
             test::writeFile(onC("brevund/belgeler/veri.db"), "VERI-7Kq2");  // stored: too short to pack
             test::putZipStandIn(drives.drive('c'),
                                 "zip \"$@\" >/dev/null || exit $?\n"
                                 "at=$(grep -abo 'VERI-' \"$1\" | head -1 | cut -d: -f1)\n"
                                 "printf 'X' | dd of=\"$1\" bs=1 seek=$at conv=notrunc 2>/dev/null");
         },
         Kind::Damaged, 0, "arşiv bozuk: brevund/belgeler/veri.db CRC hatası", ".zip.bozuk"},
        {"zip passing over a file",
         [this] { test::putZipStandIn(drives.drive('c'), "zip \"$@\" -x '*rapor.txt' >/dev/null"); },
         Kind::Incomplete, 0, "arşivde yok: brevund/belgeler/alt/rapor.txt", ".zip.eksik"},
        {"zip passing over a file behind a linked folder",
         [this] {
             test::writeFile(onC("disarida/d.txt"), "d");
             fs::create_directory_symlink("../../disarida", onC("brevund/belgeler/bag"));
             test::putZipStandIn(drives.drive('c'), "zip \"$@\" -x '*bag/*' >/dev/null");
         },
         Kind::Incomplete, 0, "arşivde yok: brevund/belgeler/bag/d.txt", ".zip.eksik"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(onC("tarvel-yedek"));
        fs::remove(drives.zipExe());
        drives.installZip();
        view.sources = {"c:\\brevund\\belgeler", "c:\\yok", "", ""};
        view.targets = {"c:\\tarvel-yedek", "c:\\tarvel-yedek", "c:\\tarvel-yedek", "c:\\tarvel-yedek"};
        observer.pairs.clear();
        c.arrange();
        run.run();
        // A named source that is missing is told; an empty box is not.
        ASSERT_EQ(observer.pairs.size(), 2u);
        EXPECT_EQ(observer.pairs[0].kind, c.kind);
        EXPECT_EQ(observer.pairs[0].exitCode, c.code);
        if (!c.problem.empty()) {
            EXPECT_EQ(observer.pairs[0].problem, c.problem);
        }
        EXPECT_EQ(observer.pairs[1].kind, Kind::SourceMissing);
        EXPECT_EQ(run.builtArchivePath(), "");
        // Only a verified archive is a .zip.
        std::vector<std::string> left;
        if (fs::exists(onC("tarvel-yedek"))) {
            for (const auto& item : fs::directory_iterator(onC("tarvel-yedek"))) left.push_back(item.path().filename());
        }
        ASSERT_EQ(left.size(), c.left.empty() ? 0u : 1u);
        if (!c.left.empty()) {
            EXPECT_TRUE(left[0].ends_with(c.left)) << left[0];
        }
        fs::remove(onC("brevund/belgeler/baglanti"));
        fs::remove(onC("brevund/belgeler/veri.db"));
        fs::remove(onC("brevund/belgeler/bag"));
    }
    EXPECT_EQ(observer.notCopied, std::vector<std::string>{"c:\\brevund\\tarvel\\bat\\zip.ex_"});
}

TEST_F(BackupRunTest, GoodArchiveHoldsEntriesFromTheDriveRootAlsoOnAnotherDrive) {
    fs::create_directories(drives.drive('d'));
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    view.targets = {"d:\\yedek", "", "", ""};
    run.run();
    ASSERT_EQ(observer.pairs.size(), 1u);
    const PairOutcome& good = observer.pairs[0];
    EXPECT_EQ(good.kind, PairOutcome::Kind::Archived);
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_EQ(good.filesVerified, 1u);
    const fs::path archive = drives.drive('d') / "yedek" / "yedek20240305.0907.zip";
    EXPECT_EQ(good.archiveBytes, fs::file_size(archive));
    EXPECT_EQ(run.builtArchivePath(), "d:\\yedek\\yedek20240305.0907.zip");
    std::string entries = unzipList(archive);
    EXPECT_EQ(entries.rfind("brevund/belgeler/", 0), 0u) << entries;
    EXPECT_NE(entries.find("brevund/belgeler/alt/rapor.txt"), std::string::npos) << entries;
}

// What a spare core reads back while the real zip writes is what the check after zip finds.
TEST_F(BackupRunTest, WhatIsReadBackWhileZipWritesIsCheckedAgainAfter) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: nothing is followed";
    const std::string body = test::mixedBytes(60'000);
    for (int i = 0; i < 300; ++i)
        test::writeFile(onC("kaynak/d" + std::to_string(i % 10) + "/" + std::to_string(i)),
                        std::to_string(i) + body);
    fs::create_directories(onC("hedef"));
    ArchiveFollower follower(files, "c:\\hedef", {}, false);
    ASSERT_EQ(std::system(("cd '" + onC("").string() + "' && zip -qr hedef/a.zip kaynak").c_str()), 0);
    const std::vector<EarlyCheck> early = follower.finish();
    ASSERT_FALSE(early.empty());  // zip takes a good part of a second: entries were read meanwhile
    const ArchiveCheck check =
        checkArchive(*files.openForReading("c:\\hedef\\a.zip"), Inflation::Fast, early);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.files.size(), 300u);
}

// A large file's header is final only at its end, just before zip ends: its data is read back as
// zip writes it, and to its end once zip has ended.
TEST_F(BackupRunTest, ALargeFileIsReadBackWhileZipWritesIt) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: nothing is followed";
    test::writeFile(onC("kaynak/veri.db"), test::mixedBytes(60'000'000));
    fs::create_directories(onC("hedef"));
    ArchiveFollower follower(files, "c:\\hedef", {}, false);
    ASSERT_EQ(std::system(("cd '" + onC("").string() + "' && zip -qr hedef/a.zip kaynak").c_str()), 0);
    const std::vector<EarlyCheck> early = follower.finish(true);
    ASSERT_EQ(early.size(), 2u);  // the folder, then the file
    EXPECT_TRUE(checkArchive(*files.openForReading("c:\\hedef\\a.zip"), Inflation::Fast, early).whole);
}

// Zip's own rules on Linux, met by the real zip: dot files kept, links followed, a dangling link
// and a pipe passed over, a file that goes away during the run noted without failing the pair.
TEST_F(BackupRunTest, ListingFollowsZipsRulesOnLinux) {
    test::writeFile(onC("brevund/belgeler/.gizli"), "nokta");
    test::writeFile(onC("disarida/d.txt"), "d");
    test::writeFile(onC("brevund/belgeler/gecici.txt"), "g");
    fs::create_directory_symlink("../../disarida", onC("brevund/belgeler/bag"));
    fs::create_symlink("/yok/boyle/bir/yer", onC("brevund/belgeler/kopuk"));
    ASSERT_EQ(::mkfifo(onC("brevund/belgeler/boru").c_str(), 0644), 0);
    test::writeFile(onC("brevund/belgeler/şeker.txt"), std::string(70000, 's'));  // a name beyond ASCII
    // Zip64 records forced, as a source of several gigabytes would have them.
    test::putZipStandIn(drives.drive('c'), "rm brevund/belgeler/gecici.txt && exec zip -fz \"$@\"");
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    run.run();
    ASSERT_EQ(observer.pairs.size(), 1u);
    const PairOutcome& good = observer.pairs[0];
    EXPECT_EQ(good.kind, PairOutcome::Kind::Archived) << good.problem;
    EXPECT_EQ(good.filesVerified, 4u);  // rapor.txt, .gizli, bag/d.txt, şeker.txt
    EXPECT_EQ(good.vanished, std::vector<std::string>{"c:\\brevund\\belgeler\\gecici.txt"});
    EXPECT_TRUE(good.changed.empty());
}

// A file written while zip reads it is named, and the pair kept; zip's "could not open" (18) is
// excused only when the file it passed over is gone, as a database's temporary files come and go.
TEST_F(BackupRunTest, FilesWrittenOrGoneWhileZipRunsAreNamedAndThePairKept) {
    const std::string veri = "c:\\brevund\\belgeler\\veri.db", gecici = "c:\\brevund\\belgeler\\gecici.tmp";
    const struct {
        const char* name;
        const char* zip;  // the stand-in's body, in drive c
        PairOutcome::Kind kind;
        std::vector<std::string> changed, vanished;
    } cases[] = {
        {"left alone", "exec zip -q \"$@\"", PairOutcome::Kind::Archived, {}, {}},
        {"written to before zip reads it",
         "echo ek >> brevund/belgeler/veri.db && exec zip -q \"$@\"",
         PairOutcome::Kind::Archived,
         {veri},
         {}},
        {"gone when zip came to it",
         "zip -q \"$@\" -x '*gecici.tmp'; rm brevund/belgeler/gecici.tmp; exit 18",
         PairOutcome::Kind::Archived,
         {},
         {gecici}},
        {"still there, unread", "zip -q \"$@\" -x '*gecici.tmp'; exit 18", PairOutcome::Kind::ZipFailed, {}, {}},
    };
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    int minute = 10;
    for (const auto& c : cases) {
        test::writeFile(onC("brevund/belgeler/veri.db"), "veri");
        test::writeFile(onC("brevund/belgeler/gecici.tmp"), "gecici");
        test::putZipStandIn(drives.drive('c'), c.zip);
        clock.set({2024, 3, 5, 9, minute++, 0});
        observer.pairs.clear();
        run.run();
        ASSERT_EQ(observer.pairs.size(), 1u) << c.name;
        const PairOutcome& o = observer.pairs[0];
        EXPECT_EQ(o.kind, c.kind) << c.name << ": " << pairLogText(o);
        EXPECT_EQ(o.changed, c.changed) << c.name;
        EXPECT_EQ(o.vanished, c.vanished) << c.name;
    }
    // The last: failed as zip said, not for a file the check found missing.
    EXPECT_NE(pairLogText(observer.pairs[0]).find("(zip hata kodu 18: "), std::string::npos)
        << pairLogText(observer.pairs[0]);
}

// Links that lead back up the tree would have the listing and zip go round for ever: the pair
// fails at once, before zip. A link across to another folder is followed, as zip follows it.
TEST_F(BackupRunTest, ALinkBackUpTheTreeFailsThePairBeforeZip) {
    const fs::path belgeler = onC("brevund/belgeler");
    test::writeFile(onC("brevund/diger/d.txt"), "d");
    fs::create_directory_symlink("../diger", belgeler / "yan");
    view.sources = {"c:\\brevund\\belgeler", "c:\\brevund", "", ""};
    view.targets = {"c:\\y", "c:\\z", "", ""};
    run.run();
    ASSERT_EQ(observer.pairs.size(), 2u);
    EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::Archived) << observer.pairs[0].problem;
    EXPECT_NE(unzipList(onC("y/y20240305.0907.zip")).find("brevund/belgeler/yan/d.txt"), std::string::npos);

    fs::create_directory_symlink(".", belgeler / "s1");
    fs::create_directory_symlink(".", belgeler / "s2");
    clock.set({2024, 3, 5, 9, 8, 0});
    ops.lines.clear();
    run.run();
    ASSERT_EQ(observer.pairs.size(), 4u);
    for (const std::size_t i : {2u, 3u}) {
        EXPECT_EQ(observer.pairs[i].kind, PairOutcome::Kind::Incomplete);
        EXPECT_EQ(observer.pairs[i].problem.rfind(
                      "kaynakta kendi üst klasörüne dönen bir bağlantı var: brevund/", 0),
                  0u)
            << observer.pairs[i].problem;
    }
    EXPECT_TRUE(ops.lines.empty());  // zip never started
    EXPECT_FALSE(fs::exists(onC("y/y20240305.0908.zip")));
}

// Where the system needs zip's work file in a folder of its own (the Windows service), zip is told
// so, the archive comes out of it whole and the folder goes; one that cannot be made fails the
// pair before zip.
TEST_F(BackupRunTest, ZipsWorkFileGoesToTheFolderTheSystemGives) {
    struct WorkFolderFiles : NativeFileSystem {
        using NativeFileSystem::NativeFileSystem;
        std::optional<std::string> privateWorkFolder(const std::string& folder, std::string& failure) override {
            if (refuse) {
                failure = "erişim reddedildi";
                return std::nullopt;
            }
            createFolder(folder + "\\zelyedek-is.1");
            return folder + "\\zelyedek-is.1";
        }
        bool refuse = false;
    } workFiles(paths);
    BackupRun local(view, workFiles, clock, runner, LocaleFormats::turkish(), [] {}, &observer);
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    view.targets = {"c:\\y", "", "", ""};
    local.run();
    ASSERT_EQ(ops.lines.size(), 1u);
    EXPECT_EQ(ops.lines[0], "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y\\y20240305.0907.zip -r c:\\brevund\\belgeler "
                            "-b c:\\y\\zelyedek-is.1");
    ASSERT_EQ(observer.pairs.size(), 1u);
    EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::Archived) << observer.pairs[0].problem;
    EXPECT_FALSE(fs::exists(onC("y/zelyedek-is.1")));

    workFiles.refuse = true;
    clock.set({2024, 3, 5, 9, 8, 0});
    local.run();
    EXPECT_EQ(ops.lines.size(), 1u);  // zip never started
    ASSERT_EQ(observer.pairs.size(), 2u);
    EXPECT_EQ(observer.pairs[1].kind, PairOutcome::Kind::Incomplete);
    EXPECT_EQ(observer.pairs[1].problem, "zip'in iş klasörü açılamadı: erişim reddedildi");
}

// A folder the program may not list makes an archive without its files and zip still ends with
// 0. Root reads every folder: ctest runs this test once more without that right.
TEST_F(BackupRunTest, UnlistableFolderFailsThePair) {
    test::writeFile(onC("brevund/belgeler/kilitli/gizli.txt"), "k");
    fs::permissions(onC("brevund/belgeler/kilitli"), fs::perms::none);
    const bool privileged = ::access(onC("brevund/belgeler/kilitli").c_str(), R_OK) == 0;
    if (privileged) {
        fs::permissions(onC("brevund/belgeler/kilitli"), fs::perms::owner_all);
        GTEST_SKIP() << "this process may read every folder";
    }
    view.sources = {"c:\\brevund\\belgeler", "", "", ""};
    run.run();
    fs::permissions(onC("brevund/belgeler/kilitli"), fs::perms::owner_all);
    ASSERT_EQ(observer.pairs.size(), 1u);
    EXPECT_EQ(observer.pairs[0].exitCode, 0);
    EXPECT_EQ(observer.pairs[0].kind, PairOutcome::Kind::Incomplete);
    EXPECT_EQ(observer.pairs[0].problem, "okunamayan klasör: brevund/belgeler/kilitli");
    EXPECT_EQ(run.builtArchivePath(), "");
}

}  // namespace
}  // namespace zel

namespace zel {
namespace {

// Commands around the run, written as scripts into c:\betik, judged by the real rule.
class RunCommandsTest : public BackupRunTest {
protected:
    RunCommandsTest() {
        fs::create_directories(onC("betik"));
        view.sources = {"c:\\brevund\\belgeler", "c:\\yok", "", ""};
        view.targets = {"c:\\t1", "c:\\t2", "", ""};
    }
    // A script's whole path, as the settings would hold it.
    std::string script(const std::string& name, const std::string& body) {
        const fs::path path = onC("betik/" + name);
        test::writeFile(path, "#!/bin/sh\n" + body + "\n");
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add);
        return path.string();
    }
    RunCommands commands(std::chrono::seconds limit = kRunCommandLimit) {
        return RunCommands({runner, [](const std::string& program) { return untrustedWriters(program); },
                            [this](const std::string& line) { logged.push_back(line + " @" + std::to_string(observer.pairs.size())); },
                            [this](const std::string& text) { warned.push_back(text); }, limit});
    }
    std::vector<std::string> logged;  // each line with the pairs told by then
    std::vector<std::string> warned;
};

// A command before that fails starts no zip; the one after runs all the same, once a run, as soon
// as the last zip has ended (before the last pair is told), hearing how the run went.
TEST_F(RunCommandsTest, TheCommandBeforeDecidesAndTheOneAfterAlwaysRunsOnceAfterTheLastZip) {
    RunCommands around = commands();
    const std::string before = script("once.sh", "echo 'veritabanı durduruluyor'\necho 'durmadı' >&2\nexit 3");
    around.setCommands(before, script("sonra.sh", "printf '%s %s %s\\n' \"$ZELYEDEK_SONUC\" \"$ZELYEDEK_KAYNAK1\" "
                                                  "\"$ZELYEDEK_HEDEF2\" >>" + onC("sonra").string() + "\nexit 4"));
    run.setStages(&around);
    run.run();
    EXPECT_TRUE(ops.lines.empty());  // no zip
    ASSERT_EQ(observer.pairs.size(), 2u);
    for (const PairOutcome& pair : observer.pairs) {
        EXPECT_EQ(pair.kind, PairOutcome::Kind::Refused);
        EXPECT_EQ(pair.problem, "Önceki komut başarısız: çıkış kodu 3");
    }
    EXPECT_EQ(run.builtArchivePath(), "");
    const std::vector<std::string> tail(logged.begin() + 1, logged.begin() + 4);
    EXPECT_EQ(tail, (std::vector<std::string>{"Önceki komut: veritabanı durduruluyor @0", "Önceki komut: durmadı @0",
                                              "Önceki komut başarısız: çıkış kodu 3 @0"}));
    EXPECT_EQ(warned, (std::vector<std::string>{"Sonraki komut başarısız: çıkış kodu 4"}));

    test::writeFile(before, "#!/bin/sh\nexit 0\n");
    view.sources[1] = "c:\\brevund";
    observer.pairs.clear();
    run.run();
    ASSERT_EQ(observer.pairs.size(), 2u);
    EXPECT_EQ(observer.pairs[1].kind, PairOutcome::Kind::Archived);
    EXPECT_EQ(logged.back(), "Sonraki komut başarısız: çıkış kodu 4 @1");
    run.run();
    EXPECT_EQ(test::readFile(onC("sonra")), "hata c:\\brevund\\belgeler c:\\t2\ntamam c:\\brevund\\belgeler c:\\t2\n"
                                            "tamam c:\\brevund\\belgeler c:\\t2\n");
}

TEST_F(RunCommandsTest, ACommandPastItsLimitIsEndedWithItsChildren) {
    RunCommands around = commands(std::chrono::seconds(1));
    const std::string child = onC("cocuk").string();
    around.setCommands(script("once.sh", "sleep 60 &\necho $! >" + child + "\nwait"), "");
    EXPECT_EQ(around.beforePairs({}), "Önceki komut başarısız: 1 saniyede bitmedi, durduruldu");
    const pid_t sleeper = std::stoi(test::readFile(child));
    for (int i = 0; i < 40 && running(sleeper); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(running(sleeper));
}

}  // namespace
}  // namespace zel
