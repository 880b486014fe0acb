#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/archive_check.h"
#include "engine/backup_run.h"
#include "platform/files/native_file_system.h"
#include "platform/system/wide_text_win.h"
#include "support/core/fake_clock.h"
#include "support/core/program_dir.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

struct OnePairView final : BackupView {
    std::string source, target;
    std::string sourceFolder(int pair) const override { return pair == 0 ? source : std::string(); }
    std::string targetFolder(int pair) const override { return pair == 0 ? target : std::string(); }
    void setCopyEnabled(bool) override {}
    void setExitCaption(const std::string&) override {}
    void setLastBackupText(const std::string&) override {}
    int archivesToKeep() const override { return 0; }
};

struct Outcomes final : BackupObserver {
    std::vector<PairOutcome> pairs;
    void zipNotCopied(const std::string&, const std::string&) override {}
    void pairDone(const PairOutcome& outcome) override { pairs.push_back(outcome); }
};

// A snapshot's stand-in: a folder that holds the source's volume-relative path, reached as a shadow
// copy's link would be.
struct StandInSnapshot final : RunStages {
    ShadowCopy copy;
    std::string beforePairs(const RunPairs&) override { return {}; }
    void afterZips(bool) override {}
    SourcePlace sourcePlace(const std::string& source) override { return {snapshotRead(copy, source), {}}; }
};

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Info-ZIP's own zip.exe, started in the snapshot's link with the source relative to the volume,
// names the entries as a live run of the same source does; what it reads is the snapshot's.
TEST(BackupRunFromASnapshot, TheEntriesAreTheLiveRunsAndTheFilesTheSnapshots) {
    const std::string zip = test::besideTests("..\\zip\\zip.exe");
    if (!fs::exists(widen(zip))) GTEST_SKIP() << "no zip.exe beside the tests: " << zip;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path root = fs::path(temp) / ("zel-golge-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root);
    const fs::path live = root / "canli" / "veri";
    write(live / "a.txt", "canlı");
    write(live / "alt" / "b.txt", "b");
    write(live / "sadece-canli.txt", "sonradan");
    const std::string source = narrow(live.wstring());
    // The source without its drive, under the stand-in's root.
    const fs::path standIn = root / "golge" / "c";
    write(standIn / narrow(live.wstring()).substr(3) / "a.txt", "anlık");
    write(standIn / narrow(live.wstring()).substr(3) / "alt" / "b.txt", "b");

    NativeFileSystem files{PathMap()};
    test::FakeClock clock;
    const std::unique_ptr<ProcessOps> native = makeNativeProcessOps(PathMap());
    const ProcessRunner runner(*native, RunnerHooks{});
    auto entriesOfARun = [&](const std::string& target, RunStages* stages) {
        OnePairView view;
        view.source = source;
        view.target = target;
        Outcomes told;
        BackupRun run(view, files, clock, runner, LocaleFormats::turkish(), {}, &told, {}, zip);
        run.setStages(stages);
        run.run();
        EXPECT_EQ(told.pairs.size(), 1u);
        if (told.pairs.empty()) return std::vector<std::string>{};
        EXPECT_EQ(told.pairs[0].kind, PairOutcome::Kind::Archived) << pairLogText(told.pairs[0]);
        const std::unique_ptr<FileReader> archive = files.openForReading(told.pairs[0].archivePath);
        std::vector<std::string> names = archive ? archiveEntryNames(*archive).value_or(std::vector<std::string>{})
                                                 : std::vector<std::string>{};
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> direct = entriesOfARun(narrow((root / "y1").wstring()), nullptr);
    StandInSnapshot snapshot;
    snapshot.copy = {"{set}", {{narrow(live.wstring()).substr(0, 3), narrow(standIn.wstring())}}};
    const std::vector<std::string> fromSnapshot = entriesOfARun(narrow((root / "y2").wstring()), &snapshot);
    std::vector<std::string> expected = direct;
    std::erase_if(expected, [](const std::string& name) { return name.ends_with("sadece-canli.txt"); });
    ASSERT_EQ(expected.size() + 1, direct.size());  // the live run has the file the snapshot lacks
    EXPECT_EQ(fromSnapshot, expected);
    fs::remove_all(root);
}

}  // namespace
}  // namespace zel
