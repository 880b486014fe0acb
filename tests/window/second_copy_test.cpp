#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "engine/archive_check.h"
#include "remote/copy_plan.h"
#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

// Two pairs, each with a target of its own, and a folder on drive d as the second place.
class SecondCopyTest : public WindowTest {
protected:
    void start(const std::string& extra) {
        fs::create_directories(drives.drive('d') / "uzak");
        writeFile(extraFile(), "UzakTur=klasor\r\nUzakAdres=" + drives.text('d', "uzak") + "\r\n" + extra);
        writeFile(drives.drive('c') / "brevund" / "belgeler" / "veri.txt", "veri");
        writeFile(drives.drive('c') / "brevund" / "resim" / "foto.jpg", "foto");
        fs::create_directories(drives.drive('c') / "yedek1");
        fs::create_directories(drives.drive('c') / "yedek2");
        clock.set({2026, 12, 8, 5, 0, 0});
        form().Form_Load();
        for (int i = 0; i < 4; ++i) view.setSourceText(i, "");
        view.setSourceText(0, drives.text('c', "brevund\\belgeler"));
        view.setTargetText(0, drives.text('c', "yedek1"));
        view.setSourceText(1, drives.text('c', "brevund\\resim"));
        view.setTargetText(1, drives.text('c', "yedek2"));
        for (int k = 0; k < 3; ++k) view.setSwitchValue(k, 0);
    }
    fs::path there(int pair) const {
        return drives.drive('d') / "uzak" / placeFolderName(drives.text('c', pair == 0 ? "yedek1" : "yedek2"), false);
    }
    std::vector<std::string> namesThere(int pair) const {
        std::vector<std::string> names;
        if (fs::exists(there(pair)))
            for (const auto& e : fs::directory_iterator(there(pair))) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A run at the given minute of the day, then the copies that follow it.
    void runAt(int hour, int minute, std::size_t copiesBefore) {
        clock.set({2026, 12, 8, hour, minute, 0});
        form().cmdCopy_Click();
        ASSERT_TRUE(view.runPostedUntil([&] { return copiesLogged() >= copiesBefore + 2; })) << log();
    }
    std::string log() const { return readFile(logFile()); }
    std::size_t copiesLogged() const { return lines("Uzak kopya: ").size(); }
    std::vector<std::string> lines(const std::string& start) const {
        std::vector<std::string> found;
        std::istringstream in(log());
        for (std::string line; std::getline(in, line);)
            if (line.find(start) != std::string::npos) found.push_back(line);
        return found;
    }
    void ticks(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            LocalDateTime t = clock.now();
            const int next = t.hour * 3600 + t.minute * 60 + t.second + 1;
            clock.set({t.year, t.month, t.day, next / 3600, next / 60 % 60, next % 60});
            form().Timer2_Timer();
            view.runPosted();
        }
    }
};

TEST_F(SecondCopyTest, EveryArchiveIsCopiedProvenAndKeptThereByThePairsRetention) {
    start("UzakSaklanacak=1\r\n");
    runAt(6, 0, 0);
    runAt(7, 0, 2);
    const std::string place = drives.text('d', "uzak");
    for (int pair : {0, 1}) {
        const std::string base = pair == 0 ? "yedek1" : "yedek2";
        // One kept there, the newest; the target folder keeps both.
        EXPECT_EQ(namesThere(pair), (std::vector<std::string>{base + "20261208.0700.zip"})) << log();
        EXPECT_TRUE(fs::exists(drives.drive('c') / base / (base + "20261208.0600.zip")));
        std::ifstream copy(there(pair) / (base + "20261208.0700.zip"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(copy)), {});
        EXPECT_EQ(bytes, readFile(drives.drive('c') / base / (base + "20261208.0700.zip")));
        EXPECT_EQ(lines("Uzak kopya silindi: ").size(), 2u) << log();
    }
    EXPECT_NE(log().find("Uzak kopya: " + drives.text('c', "yedek1\\yedek120261208.0700.zip") + " -> " + place + " ("),
              std::string::npos)
        << log();
}

TEST_F(SecondCopyTest, ACopyDamagedThereIsSetAsideAndCopiedAgainAndAnOutdatedOneReplaced) {
    start("");
    runAt(6, 0, 0);
    runAt(6, 0, 2);  // the same minute's archives, updated: their copies give way
    EXPECT_EQ(namesThere(0), (std::vector<std::string>{"yedek120261208.0600.zip"})) << log();
    const fs::path copy = there(0) / "yedek120261208.0600.zip";
    std::string bytes = readFile(copy);
    bytes[bytes.size() / 3] ^= 0x55;
    writeFile(copy, bytes);
    runAt(7, 0, 4);  // the run's pass looks at what is there again
    ASSERT_TRUE(view.runPostedUntil([&] { return copiesLogged() >= 7; })) << log();
    EXPECT_TRUE(fs::exists(there(0) / "yedek120261208.0600.zip.bozuk"));
    EXPECT_EQ(readFile(copy), readFile(drives.drive('c') / "yedek1" / "yedek120261208.0600.zip"));
    EXPECT_EQ(lines("Uzak kopya bozuk: yedek120261208.0600.zip").size(), 1u) << log();
}

TEST_F(SecondCopyTest, APlaceThatIsGoneFailsNoBackupAndGetsWhatItIsOwedNewestFirstWhenBack) {
    start("");
    fs::rename(drives.drive('d') / "uzak", drives.drive('d') / "takili-degil");
    clock.set({2026, 12, 8, 6, 0, 0});
    form().cmdCopy_Click();
    ASSERT_TRUE(view.runPostedUntil([&] { return !lines("Uzak kopya alınamadı").empty(); })) << log();
    clock.set({2026, 12, 8, 6, 1, 0});
    form().cmdCopy_Click();
    ASSERT_TRUE(view.runPostedUntil([&] { return lines("Uzak kopya alınamadı").size() >= 2; })) << log();
    // The backups and their warning are as before; the second place adds its own, once.
    EXPECT_TRUE(fs::exists(drives.drive('c') / "yedek1" / "yedek120261208.0601.zip"));
    EXPECT_EQ(std::count_if(view.warnings.begin(), view.warnings.end(),
                            [](const std::string& w) { return w.find("Uzak kopya alınamadı") != std::string::npos; }),
              1)
        << log();
    EXPECT_FALSE(fs::exists(drives.drive('d') / "uzak"));  // an unplugged disk gets no empty folder

    // Back again: the retry after 5 minutes brings every archive, the newest first.
    fs::rename(drives.drive('d') / "takili-degil", drives.drive('d') / "uzak");
    ticks(4 * 60);
    EXPECT_EQ(copiesLogged(), 0u);
    ticks(90);
    ASSERT_TRUE(view.runPostedUntil([&] { return copiesLogged() == 4; })) << log();
    const std::vector<std::string> copied = lines("Uzak kopya: ");
    EXPECT_NE(copied[0].find("0601.zip"), std::string::npos) << log();
    EXPECT_NE(copied[3].find("0600.zip"), std::string::npos) << log();
}

TEST(CopyPlan, PlaceFolderNames) {
    const struct {
        const char* target;
        bool ignoreCase;
        const char* folder;
    } cases[] = {
        {"c:\\tarvel\\yedek", true, "c_tarvel_yedek"},
        {"C:\\Tarvel Yedek\\", true, "c_tarvel_yedek"},
        {"/srv/Yedek", false, "srv_Yedek"},
        {"\\\\nas\\ofis\\yedek.1", true, "nas_ofis_yedek.1"},
        {"c:\\..", true, "c_.."},
        {"/..", false, "_.."},
        {"d:\\Çalışma", true, "d_Çalışma"},
    };
    for (const auto& c : cases) EXPECT_EQ(placeFolderName(c.target, c.ignoreCase), c.folder) << c.target;
}

TEST(CopyPlan, WhatIsWantedThereNewestFirstWithinBothRetentions) {
    const std::vector<LocalArchive> archives = {
        {"c:\\a", "a1", "20261201.0500", 0}, {"c:\\a", "a3", "20261203.0500", 0}, {"c:\\a", "a2", "20261202.0500", 0},
        {"c:\\b", "b1", "20261201.0600", 1}, {"c:\\b", "b2", "20261202.0600", 1}, {"c:\\a", "ab", "20261101.0500", {}},
    };
    auto names = [](const std::vector<LocalArchive>& wanted) {
        std::vector<std::string> out;
        for (const LocalArchive& a : wanted) out.push_back(a.name);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(names(copiesWanted(archives, 0, 0)), (V{"a3", "b2", "a2", "b1", "a1", "ab"}));
    EXPECT_EQ(names(copiesWanted(archives, 2, 0)), (V{"a3", "b2", "a2", "b1", "ab"}));
    EXPECT_EQ(names(copiesWanted(archives, 0, 1)), (V{"a3", "b2", "ab"}));
    EXPECT_EQ(names(copiesWanted(archives, 3, 1)), (V{"a3", "b2", "ab"}));
    EXPECT_EQ(retryAfterSeconds(1), 300);
    EXPECT_EQ(retryAfterSeconds(2), 1800);
    EXPECT_EQ(retryAfterSeconds(3), std::nullopt);
}

}  // namespace
}  // namespace zel::test
