#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <random>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/files/native_file_system.h"
#include "settings/code_page.h"
#include "support/core/drive_fixture.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

// Controls as the window holds them, at their design values; the check boxes refuse numbers
// other than 0, 1 and 2 like the real ones.
struct FakeControls final : SettingsControls {
    Settings s;
    int sets = 0;
    FakeControls() {
        s.sources.fill("c:\\brevund");
        s.targets.fill("c:\\tarvel-yedek");
        s.switches = {0, 0, 0};
        s.times = {};
    }
    void setSource(int i, const std::string& t) override { s.sources[i] = t, ++sets; }
    void setTarget(int i, const std::string& t) override { s.targets[i] = t, ++sets; }
    bool setSwitch(int k, int v) override {
        if (v < 0 || v > 2) return false;
        s.switches[k] = v;
        ++sets;
        return true;
    }
    void setTime(int k, const TimeOfDay& t) override { s.times[k] = t, ++sets; }
    Settings current() const override { return s; }
};

// The extra settings' row, at values loading must replace.
struct FakeExtraControls final : ExtraSettingsControls {
    ExtraSettings values{5, 1, {}};
    void setExtraSettings(const ExtraSettings& v) override { values = v; }
    ExtraSettings currentExtraSettings() const override { return values; }
};

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest()
        : files(PathMap(drives.root().string())),
          store(files, drives.text('c', "TarvelYedek.ini"), LocaleFormats::turkish()),
          extra(files, drives.text('c', "TarvelYedekEk.ini")) {
        fs::create_directories(drives.drive('c'));
    }
    fs::path file() const { return drives.drive('c') / "TarvelYedek.ini"; }
    fs::path extraFile() const { return drives.drive('c') / "TarvelYedekEk.ini"; }
    void expectDefaultsSchedule() {
        EXPECT_EQ(controls.s.switches, (std::array<int, 3>{1, 1, 1}));
        EXPECT_EQ(controls.s.times, kDefaultSlotTimes);
    }

    test::TempDrives drives;
    NativeFileSystem files;
    SettingsStore store;
    FakeControls controls;
    ExtraSettingsStore extra;
    FakeExtraControls row;
};

std::string fullFile() {
    return "c:\\k1\r\nc:\\h1\r\nc:\\k2\r\nc:\\h2\r\nc:\\k3\r\nc:\\h3\r\nc:\\k4\r\nc:\\h4\r\n"
           "0\r\n06:10:00\r\n2\r\n18:20:30\r\n1\r\n23:59:59\r\n";
}

TEST_F(SettingsStoreTest, FirstStartCreatesAnEmptyFileAndShowsDefaults) {
    store.load(controls);
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);
    EXPECT_EQ(controls.s.sources[3], "c:\\brevund");
    EXPECT_EQ(controls.s.targets[0], "c:\\tarvel-yedek");
    expectDefaultsSchedule();
    EXPECT_TRUE(store.loaded());
}

TEST_F(SettingsStoreTest, StartRemovesWhatAnInterruptedSaveLeftBeside) {
#ifdef _WIN32
    const std::string temporary = ".tmp";
#else
    const std::string temporary = ".q7Rt2Z";
#endif
    test::writeFile(file(), fullFile());
    test::writeFile(extraFile(), "KacanYedek=1\r\n");
    for (const fs::path& f : {file(), extraFile()}) test::writeFile(f.string() + temporary, "half a save");
    store.load(controls);
    extra.load(row);
    for (const fs::path& f : {file(), extraFile()}) EXPECT_FALSE(fs::exists(f.string() + temporary)) << f;
    EXPECT_EQ(test::readFile(file()), fullFile());
    EXPECT_EQ(test::readFile(extraFile()), "KacanYedek=1\r\n");
}

TEST_F(SettingsStoreTest, LoadingAFullFileSetsEveryControlAndWritesNothing) {
    test::writeFile(file(), fullFile());
    auto before = fs::last_write_time(file());
    store.load(controls);
    EXPECT_EQ(controls.s.sources, (std::array<std::string, 4>{"c:\\k1", "c:\\k2", "c:\\k3", "c:\\k4"}));
    EXPECT_EQ(controls.s.targets[3], "c:\\h4");
    EXPECT_EQ(controls.s.switches, (std::array<int, 3>{0, 2, 1}));
    EXPECT_EQ(controls.s.times[1], (TimeOfDay{18, 20, 30}));
    EXPECT_EQ(test::readFile(file()), fullFile());
    EXPECT_EQ(fs::last_write_time(file()), before);
}

TEST_F(SettingsStoreTest, SaveWritesBackWhatWasLoaded) {
    test::writeFile(file(), fullFile());
    store.load(controls);
    ASSERT_TRUE(store.save(controls));
    EXPECT_EQ(test::readFile(file()), fullFile());
}

TEST_F(SettingsStoreTest, EightLinesSetTheFoldersAndLeaveTheSchedule) {
    test::writeFile(file(), fullFile().substr(0, fullFile().find("0\r\n06")));
    store.load(controls);
    EXPECT_EQ(controls.s.targets[3], "c:\\h4");
    expectDefaultsSchedule();
}

TEST_F(SettingsStoreTest, BadTimeLineKeepsItsDefaultAndLaterLinesStillApply) {
    std::string text = fullFile();
    text.replace(text.find("06:10:00"), 8, "sabah");
    test::writeFile(file(), text);
    store.load(controls);
    EXPECT_EQ(controls.s.times[0], (TimeOfDay{5, 0, 0}));
    EXPECT_EQ(controls.s.switches, (std::array<int, 3>{0, 2, 1}));
    EXPECT_EQ(controls.s.times[2], (TimeOfDay{23, 59, 59}));
}

TEST_F(SettingsStoreTest, RefusedSwitchValueKeepsTheDefault) {
    std::string text = fullFile();
    text.replace(text.find("\r\n2\r\n") + 2, 1, "7");
    test::writeFile(file(), text);
    store.load(controls);
    EXPECT_EQ(controls.s.switches, (std::array<int, 3>{0, 1, 1}));
}

TEST_F(SettingsStoreTest, DateAndTimeLineKeepsOnlyTheTimeAndSavesItPlain) {
    std::string text = fullFile();
    text.replace(text.find("18:20:30"), 8, "05.03.2024 18:20:30");
    test::writeFile(file(), text);
    store.load(controls);
    EXPECT_EQ(controls.s.times[1], (TimeOfDay{18, 20, 30}));
    store.save(controls);
    EXPECT_EQ(test::readFile(file()), fullFile());
}

TEST_F(SettingsStoreTest, EmptyLineEmptiesTheBoxAndIsSavedEmpty) {
    std::string text = fullFile();
    text.replace(text.find("c:\\k2"), 5, "");
    test::writeFile(file(), text);
    store.load(controls);
    EXPECT_EQ(controls.s.sources[1], "");
    store.save(controls);
    EXPECT_EQ(test::readFile(file()), text);
}

TEST_F(SettingsStoreTest, LinesAfterTheFourteenthAreIgnoredAndGoneAfterSaving) {
    test::writeFile(file(), fullFile() + "fazla\r\n0\r\n");
    store.load(controls);
    EXPECT_EQ(controls.s.times[2], (TimeOfDay{23, 59, 59}));
    store.save(controls);
    EXPECT_EQ(test::readFile(file()), fullFile());
}

TEST_F(SettingsStoreTest, LfOnlyFileLoadsAndIsSavedWithCrLf) {
    std::string lf = fullFile();
    for (auto pos = lf.find("\r\n"); pos != std::string::npos; pos = lf.find("\r\n", pos)) lf.erase(pos, 1);
    test::writeFile(file(), lf);
    store.load(controls);
    store.save(controls);
    EXPECT_EQ(test::readFile(file()), fullFile());
}

TEST_F(SettingsStoreTest, TurkishFolderNamesRoundTripAsWindows1254) {
    store.load(controls);
    controls.s.sources[0] = "c:\\\xC5\x9F\xC4\xB1\xC4\x9F\xC4\xB0\xC3\xA7\xC3\xB6\xC3\xBC";  // şığİçöü
    ASSERT_TRUE(store.save(controls));
    EXPECT_EQ(test::readFile(file()).substr(0, 12), "c:\\\xFE\xFD\xF0\xDD\xE7\xF6\xFC\r\n");
    FakeControls again;
    SettingsStore(files, drives.text('c', "TarvelYedek.ini"), LocaleFormats::turkish()).load(again);
    EXPECT_EQ(again.s.sources[0], controls.s.sources[0]);
}

TEST_F(SettingsStoreTest, NothingIsSavedBeforeLoadingHasFinished) {
    test::writeFile(file(), fullFile());
    EXPECT_FALSE(store.save(controls));
    EXPECT_EQ(test::readFile(file()), fullFile());
}

TEST_F(SettingsStoreTest, UnopenableFileLeavesEveryDefault) {
    SettingsStore nowhere(files, drives.text('c', "yok\\TarvelYedek.ini"), LocaleFormats::turkish());
    nowhere.load(controls);
    EXPECT_EQ(controls.s.sources[0], "c:\\brevund");
    expectDefaultsSchedule();
    EXPECT_FALSE(fs::exists(drives.drive('c') / "yok"));
}

// A file system whose writes (or reads) fail, to show that a failed save leaves the old file.
struct FailingFiles final : NativeFileSystem {
    using NativeFileSystem::NativeFileSystem;
    bool canRead = true;
    bool canWrite = false;
    WriteResult replaceContent(const std::string& p, const std::string& b, bool ownerOnly) override {
        return canWrite ? NativeFileSystem::replaceContent(p, b, ownerOnly) : WriteResult{"no writes"};
    }
    void removeReplaceLeftovers(const std::string&) override {}
    std::unique_ptr<FileReader> openForReading(const std::string& p) override {
        return canRead ? NativeFileSystem::openForReading(p) : nullptr;
    }
};

TEST_F(SettingsStoreTest, FailedSaveLeavesThePreviousFileIntact) {
    test::writeFile(file(), fullFile());
    FailingFiles failing(PathMap(drives.root().string()));
    SettingsStore s(failing, drives.text('c', "TarvelYedek.ini"), LocaleFormats::turkish());
    s.load(controls);
    controls.s.sources[0] = "c:\\degisti";
    const SaveResult saved = s.save(controls);
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.failure, "no writes");
    EXPECT_EQ(test::readFile(file()), fullFile());
}

TEST_F(SettingsStoreTest, ATextTheCodePageCannotHoldWritesNothing) {
    test::writeFile(file(), fullFile());
    SettingsStore s(files, drives.text('c', "TarvelYedek.ini"), LocaleFormats::turkish(),
                    [](std::string_view) { return std::optional<std::string>(); });
    s.load(controls);
    const SaveResult saved = s.save(controls);
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.failure, "metin kod sayfasına çevrilemiyor");
    EXPECT_EQ(test::readFile(file()), fullFile());
    EXPECT_EQ(saveFailureText("c:\\TarvelYedek.ini", saved.failure),
              "Ayarlar kaydedilemedi: c:\\TarvelYedek.ini (metin kod sayfasına çevrilemiyor)");
}

TEST_F(SettingsStoreTest, SaveIntoAReadOnlyFolderLeavesTheFile) {
#ifdef _WIN32
    GTEST_SKIP() << "folder permission bits are a POSIX matter";
#else
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into a read-only folder";
#endif
    test::writeFile(file(), fullFile());
    store.load(controls);
    fs::permissions(drives.drive('c'), fs::perms::owner_read | fs::perms::owner_exec);
    controls.s.sources[0] = "c:\\degisti";
    EXPECT_FALSE(store.save(controls));
    fs::permissions(drives.drive('c'), fs::perms::owner_all);
    EXPECT_EQ(test::readFile(file()), fullFile());
}

// ---- the extra settings file ----

TEST_F(SettingsStoreTest, TheExtraFileIsSavedAsWindows1254WithCrLfAndKeepsItsOtherLines) {
    // "; Yedek sayısı", a key of someone else's with "Şğ", a bad value, LF line ends.
    test::writeFile(extraFile(), "; Yedek say\xFDs\xFD\nSaklanacakYedek=abc\nDiger=\xDE\xF0\n");
    extra.load(row);
    row.values = {30, 1, {}};
    ASSERT_TRUE(extra.save(row));
    EXPECT_EQ(test::readFile(extraFile()),
              "; Yedek say\xFDs\xFD\r\nSaklanacakYedek=30\r\nDiger=\xDE\xF0\r\nKacanYedek=1\r\n");
}

TEST_F(SettingsStoreTest, AnExtraFileThatCannotBeReadOrWrittenIsLeftAsItWas) {
    struct Case {
        const char* name;
        bool canRead, canWrite;
        const char* failure;
    };
    // Unread, its other lines would be lost by a save.
    for (const Case& c :
         {Case{"unreadable", false, true, "dosya okunamadı"}, Case{"unwritable", true, false, "no writes"}}) {
        const std::string text = "; el ile\r\nKacanYedek=1\r\n";
        test::writeFile(extraFile(), text);
        FailingFiles failing(PathMap(drives.root().string()));
        failing.canRead = c.canRead;
        failing.canWrite = c.canWrite;
        ExtraSettingsStore s(failing, drives.text('c', "TarvelYedekEk.ini"));
        s.load(row);
        row.values = {3, 0, {}};
        const SaveResult saved = s.save(row);
        EXPECT_FALSE(saved) << c.name;
        EXPECT_EQ(saved.failure, c.failure) << c.name;
        EXPECT_EQ(test::readFile(extraFile()), text) << c.name;
    }
}

TEST_F(SettingsStoreTest, RandomFilesNeverBreakLoading) {
    std::mt19937 rng(20261207);
    const std::string valid = fullFile();
    const char* pieces[] = {"c:\\x",
                            "",
                            "0",
                            "1",
                            "2",
                            "3",
                            "-1",
                            "05:00:00",
                            "25:00:00",
                            "12:30",
                            "05.03.2024 17:00:00",
                            "2024-03-05T01:02:03",
                            "abc",
                            "\xFE\xFD",
                            " "};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        switch (round % 3) {
            case 0: {  // random bytes
                std::size_t n = rng() % 400;
                for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(rng() % 256);
                break;
            }
            case 1: {  // random lines
                int n = static_cast<int>(rng() % 20);
                for (int i = 0; i < n; ++i)
                    text += std::string(pieces[rng() % std::size(pieces)]) + (rng() % 2 ? "\r\n" : "\n");
                break;
            }
            default:  // a valid file cut anywhere
                text = valid.substr(0, rng() % (valid.size() + 1));
        }
        test::writeFile(file(), text);
        FakeControls c;
        SettingsStore s(files, drives.text('c', "TarvelYedek.ini"), LocaleFormats::turkish());
        ASSERT_NO_THROW(s.load(c));
        ASSERT_EQ(test::readFile(file()), text);
        std::vector<std::string> lines = settingsLines(fromCodePage(text));
        for (int i = 0; i < 8; ++i) {
            const std::string& got = i % 2 ? c.s.targets[i / 2] : c.s.sources[i / 2];
            const std::string def = i % 2 ? "c:\\tarvel-yedek" : "c:\\brevund";
            ASSERT_EQ(got, static_cast<std::size_t>(i) < lines.size() ? lines[i] : def) << "round " << round;
        }
        for (int k = 0; k < 3; ++k) {
            std::size_t sw = 8 + 2 * k, tm = 9 + 2 * k;
            int expectSwitch = 1;
            if (sw < lines.size() && (lines[sw] == "0" || lines[sw] == "1" || lines[sw] == "2"))
                expectSwitch = lines[sw][0] - '0';
            if (sw < lines.size() && lines[sw] != "0" && lines[sw] != "1" && lines[sw] != "2") {
                ASSERT_TRUE(c.s.switches[k] >= 0 && c.s.switches[k] <= 2);
            } else {
                ASSERT_EQ(c.s.switches[k], expectSwitch) << "round " << round;
            }
            const TimeOfDay& t = c.s.times[k];
            ASSERT_TRUE(t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
                        t.second < 60);
            if (tm >= lines.size()) {
                ASSERT_EQ(t, kDefaultSlotTimes[k]) << "round " << round;
            } else if (lines[tm] == "05:00:00") {
                ASSERT_EQ(t, (TimeOfDay{5, 0, 0}));
            }
        }
    }
}

}  // namespace
}  // namespace zel
