#include "engine/shadow_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/shadow_stage.h"
#include "platform/files/native_file_system.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

constexpr std::int32_t kRefused = static_cast<std::int32_t>(0x8004230F);  // VSS_E_UNEXPECTED_PROVIDER_ERROR
using Calls = std::vector<std::string>;

// The service as a list of the calls it got, with the sets and links that exist; one call may fail.
struct FakeShadowOps final : ShadowCopyOps {
    Calls calls;
    std::string failAt;
    std::set<std::string> links, sets;
    std::int32_t step(const std::string& call) {
        calls.push_back(call);
        return call == failAt ? kRefused : 0;
    }
    bool canSnapshot(const std::string&) override { return true; }
    std::int32_t create() override { return step("create"); }
    std::int32_t initializeForBackup() override { return step("initialize"); }
    std::int32_t setCopyOnlyBackup() override { return step("copy-only"); }
    std::int32_t gatherWriterMetadata(std::chrono::milliseconds) override { return step("metadata"); }
    std::int32_t startSnapshotSet(std::string& id) override { return id = "{set}", step("start"); }
    std::int32_t addToSnapshotSet(const std::string& volume, std::string& id) override {
        return id = "{" + volume.substr(0, 1) + "}", step("add " + volume);
    }
    std::int32_t prepareForBackup(std::chrono::milliseconds) override { return step("prepare"); }
    std::int32_t doSnapshotSet(std::chrono::milliseconds) override {
        return step("snapshot") == 0 ? (sets.insert("{set}"), 0) : kRefused;
    }
    std::int32_t snapshotDevice(const std::string& id, std::string& device) override {
        return device = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy" + id, step("device " + id);
    }
    std::int32_t expose(const std::string&, const std::string& link) override {
        return step("expose " + link) == 0 ? (links.insert(link), 0) : kRefused;
    }
    void removeLink(const std::string& link) override {
        if (links.erase(link)) calls.push_back("unlink " + link);
    }
    void abortBackup() override { calls.push_back("abort"); }
    void backupComplete(std::chrono::milliseconds) override { calls.push_back("complete"); }
    std::int32_t deleteSnapshotSet(const std::string& id) override {
        return step("delete " + id) == 0 ? (sets.erase(id), 0) : kRefused;
    }
    void close() override { calls.push_back("close"); }
};

TEST(ShadowCopy, ASetIsTakenInTheServicesOrderAndLetGoWithItsLinks) {
    FakeShadowOps ops;
    Calls kept;
    const auto keep = [&](const std::string& id) { kept.push_back(id); };
    const ShadowTaken taken = takeShadowCopy(ops, {"C:\\", "D:\\"}, "c:\\zel\\golge", keep);
    ASSERT_TRUE(taken.copy) << taken.failure;
    EXPECT_EQ(ops.calls, (Calls{"create", "initialize", "copy-only", "metadata", "start", "add C:\\", "add D:\\", "prepare",
                                "snapshot", "device {C}", "expose c:\\zel\\golge\\c", "device {D}",
                                "expose c:\\zel\\golge\\d"}));
    EXPECT_EQ(kept, (Calls{"{set}"}));  // before the snapshot, so a crash finds it
    ops.calls.clear();
    releaseShadowCopy(ops, *taken.copy, keep);
    EXPECT_EQ(ops.calls,
              (Calls{"unlink c:\\zel\\golge\\c", "unlink c:\\zel\\golge\\d", "complete", "delete {set}", "close"}));
    EXPECT_EQ(kept.back(), "");
    EXPECT_TRUE(ops.sets.empty());
}

TEST(ShadowCopy, AStepThatFailsIsNamedAndLeavesNothing) {
    // The call that fails, the step the failure names, and whether the writers hear the backup is
    // off (begun, never taken).
    for (const auto& [call, step, aborted] : std::vector<std::tuple<std::string, std::string, bool>>{
             {"create", "vssapi.dll", false}, {"initialize", "InitializeForBackup", false},
             {"copy-only", "SetBackupState", false}, {"metadata", "GatherWriterMetadata", false},
             {"start", "StartSnapshotSet", false}, {"add D:\\", "AddToSnapshotSet", true},
             {"prepare", "PrepareForBackup", true}, {"snapshot", "DoSnapshotSet", true},
             {"device {D}", "GetSnapshotProperties", false}, {"expose c:\\golge\\d", "bağlantı", false}}) {
        SCOPED_TRACE(call);
        FakeShadowOps ops;
        ops.failAt = call;
        std::string kept = "none";
        const ShadowTaken taken =
            takeShadowCopy(ops, {"C:\\", "D:\\"}, "c:\\golge", [&](const std::string& id) { kept = id; });
        EXPECT_FALSE(taken.copy);
        EXPECT_EQ(taken.failure, step + " (0x8004230F)");
        EXPECT_TRUE(ops.links.empty());
        EXPECT_TRUE(ops.sets.empty());
        EXPECT_EQ(ops.calls.back(), "close");
        EXPECT_TRUE(kept == "none" || kept.empty()) << kept;  // an id kept is let go again
        EXPECT_EQ(std::count(ops.calls.begin(), ops.calls.end(), "abort"), aborted ? 1 : 0);
    }
}

TEST(ShadowCopy, ASourceIsReadThroughItsVolumesLinkUnderTheSameName) {
    const ShadowCopy copy{"{set}", {{"C:\\", "c:\\g\\c"}, {"E:\\", "c:\\g\\e"}}};
    // Where zip starts | what it is given | where the listing reads; "" for a source read live.
    for (const auto& [source, read] : std::vector<std::pair<std::string, std::string>>{
             {"c:\\brevund\\belgeler", "c:\\g\\c|brevund\\belgeler|c:\\g\\c\\brevund\\belgeler"},
             {"C:\\Brevund\\", "c:\\g\\c|Brevund|c:\\g\\c\\Brevund"},
             {"e:\\", "c:\\g\\e|.|c:\\g\\e"},
             {"d:\\veri", ""},
             {"\\\\sunucu\\paylasim\\veri", ""}}) {
        const std::optional<SnapshotRead> r = snapshotRead(copy, source);
        EXPECT_EQ(r ? r->workingFolder + "|" + r->zipSource + "|" + r->listFrom : "", read) << source;
    }
    EXPECT_EQ(snapshotVolumes({"c:\\a", "", "C:\\b", "\\\\s\\p\\x", "d:\\"}), (Calls{"C:\\", "D:\\"}));
}

class ShadowStageTest : public ::testing::Test {
protected:
    ShadowStage stage(bool elevated = true) {
        return ShadowStage({&ops, elevated, files, "c:\\zel\\golge", idFile.string(), {},
                            [this](const std::string& line) { logged.push_back(line); },
                            [this](const std::string& text) { warned.push_back(text); }});
    }
    FakeShadowOps ops;
    test::TempDir tmp;
    const std::filesystem::path idFile = tmp / "TarvelYedekGolge.txt";
    NativeFileSystem files{PathMap()};
    Calls logged, warned;
    const RunPairs pairs{{"c:\\veri", "\\\\nas\\ortak", "", ""}, {"d:\\yedek", "d:\\yedek", "", ""}};
};

TEST_F(ShadowStageTest, WithoutASnapshotAutomaticReadsLiveAndWarnsRequiredFailsThePairsOnIt) {
    for (const ShadowCopyMode mode : {ShadowCopyMode::Auto, ShadowCopyMode::Required}) {
        for (const auto& [elevated, why] : {std::pair<bool, std::string>{true, "DoSnapshotSet (0x8004230F)"},
                                            {false, "program yönetici olarak başlatılmadı"}}) {
            SCOPED_TRACE(why);
            warned.clear();
            ops.failAt = "snapshot";
            ShadowStage s = stage(elevated);
            s.setMode(mode);
            EXPECT_EQ(s.beforePairs(pairs), "");
            const SourcePlace onC = s.sourcePlace("c:\\veri"), share = s.sourcePlace("\\\\nas\\ortak");
            EXPECT_FALSE(onC.snapshot || share.snapshot);
            EXPECT_EQ(share.refusal, "");  // a share is read live in any case
            const bool automatic = mode == ShadowCopyMode::Auto;
            EXPECT_EQ(onC.refusal, automatic ? "" : "Gölge kopya alınamadı: " + why);
            // Required: the failed pairs say it.
            EXPECT_EQ(warned, automatic ? Calls{"Gölge kopya alınamadı: " + why + "; canlı dosyalar yedeklendi"} : Calls{});
            EXPECT_FALSE(std::filesystem::exists(idFile));
        }
    }
}

TEST_F(ShadowStageTest, ASetIsReadUntilTheRunsEndAndOneACrashLeftGoesAtTheStart) {
    ShadowStage s = stage();
    s.beforePairs(pairs);
    EXPECT_EQ(test::readFile(idFile), "{set}");
    ASSERT_TRUE(s.sourcePlace("c:\\veri").snapshot);
    EXPECT_EQ(s.sourcePlace("c:\\veri").snapshot->listFrom, "c:\\zel\\golge\\c\\veri");
    EXPECT_TRUE(warned.empty());
    s.runEnded();
    EXPECT_TRUE(ops.sets.empty() && ops.links.empty() && !std::filesystem::exists(idFile));
    EXPECT_FALSE(s.sourcePlace("c:\\veri").snapshot);  // the next run takes its own
    s.setMode(ShadowCopyMode::Off);
    ops.calls.clear();
    s.beforePairs(pairs);
    EXPECT_TRUE(ops.calls.empty());

    test::writeFile(idFile, "{eski}");
    ops.links.insert("c:\\zel\\golge\\c");
    ops.sets.insert("{eski}");
    stage().deleteLeftover();
    EXPECT_TRUE(ops.sets.empty() && ops.links.empty() && !std::filesystem::exists(idFile));
    EXPECT_EQ(logged.back(), "Önceki çalışmadan kalan gölge kopya silindi: {eski}");
}

}  // namespace
}  // namespace zel
