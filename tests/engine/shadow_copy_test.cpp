#include "engine/shadow_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "engine/shadow_stage.h"
#include "support/core/no_files.h"
#include "support/core/zip_writer.h"

namespace zel {
namespace {

constexpr std::int32_t kRefused = static_cast<std::int32_t>(0x8004230F);  // VSS_E_UNEXPECTED_PROVIDER_ERROR

// The service as a list of the calls it got; one step may be made to fail.
struct FakeShadowOps final : ShadowCopyOps {
    std::vector<std::string> calls;
    std::string failAt;  // the call that fails, by name
    std::set<std::string> links;
    std::set<std::string> sets;  // snapshot sets that exist
    bool capable = true;
    std::int32_t step(const std::string& call) {
        calls.push_back(call);
        return call == failAt ? kRefused : 0;
    }
    bool canSnapshot(const std::string&) override { return capable; }
    std::int32_t create() override { return step("create"); }
    std::int32_t initializeForBackup() override { return step("initialize"); }
    std::int32_t setCopyOnlyBackup() override { return step("copy-only"); }
    std::int32_t gatherWriterMetadata(std::chrono::milliseconds) override { return step("metadata"); }
    std::int32_t startSnapshotSet(std::string& setId) override {
        setId = "{set}";
        return step("start");
    }
    std::int32_t addToSnapshotSet(const std::string& volume, std::string& snapshotId) override {
        snapshotId = "{" + volume.substr(0, 1) + "}";
        return step("add " + volume);
    }
    std::int32_t prepareForBackup(std::chrono::milliseconds) override { return step("prepare"); }
    std::int32_t doSnapshotSet(std::chrono::milliseconds) override {
        const std::int32_t code = step("snapshot");
        if (code >= 0) sets.insert("{set}");
        return code;
    }
    std::int32_t snapshotDevice(const std::string& snapshotId, std::string& device) override {
        device = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy" + snapshotId;
        return step("device " + snapshotId);
    }
    std::int32_t expose(const std::string&, const std::string& link) override {
        const std::int32_t code = step("expose " + link);
        if (code >= 0) links.insert(link);
        return code;
    }
    void removeLink(const std::string& link) override {
        if (links.erase(link)) calls.push_back("unlink " + link);
    }
    void abortBackup() override { calls.push_back("abort"); }
    void backupComplete(std::chrono::milliseconds) override { calls.push_back("complete"); }
    std::int32_t deleteSnapshotSet(const std::string& setId) override {
        const std::int32_t code = step("delete " + setId);
        if (code >= 0) sets.erase(setId);
        return code;
    }
    void close() override { calls.push_back("close"); }
};

TEST(ShadowCopy, ASetIsTakenInTheServicesOrderAndLetGoWithItsLinks) {
    FakeShadowOps ops;
    std::vector<std::string> kept;
    const auto keep = [&](const std::string& id) { kept.push_back(id); };
    const ShadowTaken taken = takeShadowCopy(ops, {"C:\\", "D:\\"}, "c:\\zel\\golge", keep);
    ASSERT_TRUE(taken.copy) << taken.failure;
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"create", "initialize", "copy-only", "metadata", "start", "add C:\\",
                                                   "add D:\\", "prepare", "snapshot", "device {C}",
                                                   "expose c:\\zel\\golge\\c", "device {D}", "expose c:\\zel\\golge\\d"}));
    EXPECT_EQ(kept, (std::vector<std::string>{"{set}"}));  // before the snapshot, so a crash finds it
    ops.calls.clear();
    releaseShadowCopy(ops, *taken.copy, keep);
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"unlink c:\\zel\\golge\\c", "unlink c:\\zel\\golge\\d", "complete",
                                                   "delete {set}", "close"}));
    EXPECT_EQ(kept.back(), "");
    EXPECT_TRUE(ops.sets.empty());
}

TEST(ShadowCopy, AStepThatFailsIsNamedAndLeavesNothing) {
    for (const auto& [call, said] : std::vector<std::pair<std::string, std::string>>{
             {"create", "vssapi.dll (0x8004230F)"},
             {"initialize", "InitializeForBackup (0x8004230F)"},
             {"copy-only", "SetBackupState (0x8004230F)"},
             {"metadata", "GatherWriterMetadata (0x8004230F)"},
             {"start", "StartSnapshotSet (0x8004230F)"},
             {"add D:\\", "AddToSnapshotSet (0x8004230F)"},
             {"prepare", "PrepareForBackup (0x8004230F)"},
             {"snapshot", "DoSnapshotSet (0x8004230F)"},
             {"device {D}", "GetSnapshotProperties (0x8004230F)"},
             {"expose c:\\golge\\d", "bağlantı (0x8004230F)"},
         }) {
        SCOPED_TRACE(call);
        FakeShadowOps ops;
        ops.failAt = call;
        std::string kept = "none";
        const ShadowTaken taken =
            takeShadowCopy(ops, {"C:\\", "D:\\"}, "c:\\golge", [&](const std::string& id) { kept = id; });
        EXPECT_FALSE(taken.copy);
        EXPECT_EQ(taken.failure, said);
        EXPECT_TRUE(ops.links.empty());
        EXPECT_TRUE(ops.sets.empty());
        EXPECT_EQ(ops.calls.back(), "close");
        EXPECT_TRUE(kept == "none" || kept.empty()) << kept;  // an id kept is let go again
        // The writers hear the backup is off when it was begun and never taken.
        const bool begun = std::find(ops.calls.begin(), ops.calls.end(), "start") != ops.calls.end();
        const bool taken_ = std::find(ops.calls.begin(), ops.calls.end(), "snapshot") != ops.calls.end() && call != "snapshot";
        EXPECT_EQ(std::count(ops.calls.begin(), ops.calls.end(), "abort"), begun && !taken_ && call != "start" ? 1 : 0);
    }
}

TEST(ShadowCopy, ASourceIsReadThroughItsVolumesLinkUnderTheSameName) {
    const ShadowCopy copy{"{set}", {{"C:\\", "c:\\zel\\golge\\c"}, {"E:\\", "c:\\zel\\golge\\e"}}};
    struct Case {
        std::string source;
        std::optional<SnapshotRead> read;
    };
    for (const Case& c : {
             Case{"c:\\brevund\\belgeler", SnapshotRead{"c:\\zel\\golge\\c", "brevund\\belgeler", "c:\\zel\\golge\\c\\brevund\\belgeler"}},
             Case{"C:\\Brevund\\", SnapshotRead{"c:\\zel\\golge\\c", "Brevund", "c:\\zel\\golge\\c\\Brevund"}},
             Case{"e:\\", SnapshotRead{"c:\\zel\\golge\\e", ".", "c:\\zel\\golge\\e"}},
             Case{"d:\\veri", std::nullopt},
             Case{"\\\\sunucu\\paylasim\\veri", std::nullopt},
         }) {
        const std::optional<SnapshotRead> read = snapshotRead(copy, c.source);
        ASSERT_EQ(read.has_value(), c.read.has_value()) << c.source;
        if (!read) continue;
        EXPECT_EQ(read->workingFolder, c.read->workingFolder) << c.source;
        EXPECT_EQ(read->zipSource, c.read->zipSource) << c.source;
        EXPECT_EQ(read->listFrom, c.read->listFrom) << c.source;
    }
    EXPECT_EQ(snapshotVolumes({"c:\\a", "", "C:\\b", "\\\\s\\p\\x", "d:\\"}), (std::vector<std::string>{"C:\\", "D:\\"}));
}

// The run's stage over the fake, with the set's id kept in memory as a file.
struct KeptFiles final : test::NoFiles {
    std::map<std::string, std::string> files;
    WriteResult replaceContent(const std::string& path, const std::string& bytes, bool) override {
        files[path] = bytes;
        return {};
    }
    WriteResult removeFile(const std::string& path) override {
        files.erase(path);
        return {};
    }
    std::unique_ptr<FileReader> openForReading(const std::string& path) override {
        const auto it = files.find(path);
        return it == files.end() ? nullptr : std::make_unique<test::StringReader>(it->second);
    }
};

class ShadowStageTest : public ::testing::Test {
protected:
    ShadowStage stage(bool elevated = true) {
        return ShadowStage({&ops, elevated, files, "c:\\zel\\golge", "c:\\zel\\TarvelYedekGolge.txt", {},
                            [this](const std::string& line) { logged.push_back(line); },
                            [this](const std::string& text) { warned.push_back(text); }});
    }
    FakeShadowOps ops;
    KeptFiles files;
    std::vector<std::string> logged, warned;
    const RunPairs pairs{{"c:\\veri", "\\\\nas\\ortak", "", ""}, {"d:\\yedek", "d:\\yedek", "", ""}};
};

TEST_F(ShadowStageTest, WithoutASnapshotAutomaticReadsLiveAndWarnsRequiredFailsThePairsOnIt) {
    struct Case {
        ShadowCopyMode mode;
        bool elevated;
        std::string why;
    };
    for (const Case& c : {Case{ShadowCopyMode::Auto, true, "DoSnapshotSet (0x8004230F)"},
                          Case{ShadowCopyMode::Auto, false, "program yönetici olarak başlatılmadı"},
                          Case{ShadowCopyMode::Required, true, "DoSnapshotSet (0x8004230F)"},
                          Case{ShadowCopyMode::Required, false, "program yönetici olarak başlatılmadı"}}) {
        SCOPED_TRACE(c.why);
        warned.clear();
        ops.failAt = "snapshot";
        ShadowStage s = stage(c.elevated);
        s.setMode(c.mode);
        EXPECT_EQ(s.beforePairs(pairs), "");
        const SourcePlace onC = s.sourcePlace("c:\\veri"), share = s.sourcePlace("\\\\nas\\ortak");
        EXPECT_FALSE(onC.snapshot);
        EXPECT_FALSE(share.snapshot);
        EXPECT_EQ(share.refusal, "");  // a share is read live in any case
        if (c.mode == ShadowCopyMode::Auto) {
            EXPECT_EQ(onC.refusal, "");
            EXPECT_EQ(warned, (std::vector<std::string>{"Gölge kopya alınamadı: " + c.why + "; canlı dosyalar yedeklendi"}));
        } else {
            EXPECT_EQ(onC.refusal, "Gölge kopya alınamadı: " + c.why);
            EXPECT_TRUE(warned.empty());  // the failed pairs say it
        }
        EXPECT_TRUE(files.files.empty());
    }
}

TEST_F(ShadowStageTest, ATakenSetIsReadAndDeletedAtTheRunsEnd) {
    ShadowStage s = stage();
    s.beforePairs(pairs);
    EXPECT_EQ(files.files["c:\\zel\\TarvelYedekGolge.txt"], "{set}");
    ASSERT_TRUE(s.sourcePlace("c:\\veri").snapshot);
    EXPECT_EQ(s.sourcePlace("c:\\veri").snapshot->listFrom, "c:\\zel\\golge\\c\\veri");
    EXPECT_TRUE(warned.empty());
    s.runEnded();
    EXPECT_TRUE(ops.sets.empty());
    EXPECT_TRUE(ops.links.empty());
    EXPECT_TRUE(files.files.empty());
    EXPECT_FALSE(s.sourcePlace("c:\\veri").snapshot);  // the next run takes its own
    s.setMode(ShadowCopyMode::Off);
    ops.calls.clear();
    s.beforePairs(pairs);
    EXPECT_TRUE(ops.calls.empty());
}

TEST_F(ShadowStageTest, ASetACrashLeftIsDeletedAtTheStart) {
    files.files["c:\\zel\\TarvelYedekGolge.txt"] = "{eski}";
    ops.links.insert("c:\\zel\\golge\\c");
    ops.sets.insert("{eski}");
    stage().deleteLeftover();
    EXPECT_TRUE(ops.sets.empty());
    EXPECT_TRUE(ops.links.empty());
    EXPECT_TRUE(files.files.empty());
    EXPECT_EQ(logged.back(), "Önceki çalışmadan kalan gölge kopya silindi: {eski}");
}

}  // namespace
}  // namespace zel
