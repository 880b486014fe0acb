#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/archive_check.h"
#include "engine/backup_run.h"
#include "platform/files/native_file_system.h"
#include "platform/system/wide_text_win.h"
#include "support/core/fake_clock.h"
#include "support/core/program_dir.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

// One pair, and what the run told of it.
struct OnePair final : BackupView, BackupObserver {
    std::string source, target;
    std::vector<PairOutcome> told;
    std::string sourceFolder(int pair) const override { return pair == 0 ? source : std::string(); }
    std::string targetFolder(int pair) const override { return pair == 0 ? target : std::string(); }
    void setCopyEnabled(bool) override {}
    void setExitCaption(const std::string&) override {}
    void setLastBackupText(const std::string&) override {}
    int archivesToKeep() const override { return 0; }
    void zipNotCopied(const std::string&, const std::string&) override {}
    void pairDone(const PairOutcome& outcome) override { told.push_back(outcome); }
};

// A snapshot's stand-in: a folder that holds the source's volume-relative path, reached as a shadow
// copy's link would be.
struct StandInSnapshot final : RunStages {
    ShadowCopy copy;
    std::string beforePairs(const RunPairs&) override { return {}; }
    void afterZips(bool) override {}
    SourcePlace sourcePlace(const std::string& source) override { return {snapshotRead(copy, source), {}}; }
};

// Info-ZIP's own zip.exe, started in the snapshot's link with the source relative to the volume,
// names the entries as a live run of the same source does; what it reads is the snapshot's.
TEST(BackupRunFromASnapshot, TheEntriesAreTheLiveRunsAndTheFilesTheSnapshots) {
    const std::string zip = test::besideTests("..\\zip\\zip.exe");
    if (!fs::exists(widen(zip))) GTEST_SKIP() << "no zip.exe beside the tests: " << zip;
    test::TempDir root;
    const fs::path live = root / "canli\\veri", standIn = root / "golge\\c";
    const std::string source = narrow(live.wstring());
    // The live source, and the stand-in holding it without its drive, less the file only the live one has.
    for (const fs::path& folder : {live, standIn / source.substr(3)})
        for (const char* file : {"a.txt", "alt\\b.txt"}) test::writeFile(folder / file, file);
    test::writeFile(live / "sadece-canli.txt", "x");

    NativeFileSystem files{PathMap()};
    test::FakeClock clock;
    const std::unique_ptr<ProcessOps> native = makeNativeProcessOps(PathMap());
    const ProcessRunner runner(*native, RunnerHooks{});
    // The entries of a run's archive into `target`, sorted; none when the pair was not archived.
    auto entriesOfARun = [&](const char* target, RunStages* stages) {
        OnePair pair;
        pair.source = source;
        pair.target = narrow((root / target).wstring());
        BackupRun run(pair, files, clock, runner, LocaleFormats::turkish(), {}, &pair, {}, zip);
        run.setStages(stages);
        run.run();
        const bool archived = pair.told.size() == 1 && pair.told[0].kind == PairOutcome::Kind::Archived;
        const std::unique_ptr<FileReader> archive = archived ? files.openForReading(pair.told[0].archivePath) : nullptr;
        std::vector<std::string> names = archive ? archiveEntryNames(*archive).value_or(std::vector<std::string>{})
                                                 : std::vector<std::string>{};
        std::sort(names.begin(), names.end());
        return names;
    };
    std::vector<std::string> expected = entriesOfARun("y1", nullptr);
    StandInSnapshot snapshot;
    snapshot.copy = {"{set}", {{source.substr(0, 3), narrow(standIn.wstring())}}};
    // The live run has the file the snapshot lacks.
    ASSERT_EQ(std::erase_if(expected, [](const std::string& name) { return name.ends_with("sadece-canli.txt"); }), 1u);
    EXPECT_EQ(entriesOfARun("y2", &snapshot), expected);
}

}  // namespace
}  // namespace zel
