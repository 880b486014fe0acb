#include <algorithm>

#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

using SettingsHandlersTest = WindowTest;

// Written by hand: LF line ends and a line too many, so that any save would change its bytes.
std::string handMadeFile() {
    return "c:\\a\nc:\\b\nc:\\a\nc:\\b\nc:\\a\nc:\\b\nc:\\a\nc:\\b\n0\n01:02:03\n2\n04:05:06\n1\n07:08:"
           "09\nfazla\n";
}

TEST_F(SettingsHandlersTest, NothingIsSavedBeforeLoadingHasFinished) {
    form();
    view.setSwitchValue(1, 1);
    view.setKeepArchivesValue(4);
    view.setMissedRunValue(1);
    EXPECT_FALSE(fs::exists(settingsFile()));
    EXPECT_FALSE(fs::exists(extraFile()));
}

TEST_F(SettingsHandlersTest, EveryHandlerRewritesAllFourteenLines) {
    form().Form_Load();
    const std::vector<std::pair<const char*, std::function<void()>>> handlers = {
        {"switch", [&] { view.setSwitchValue(1, 0); }},
        {"picker",
         [&] {
             view.setPickerTime(0, {4, 30, 15});
         }},
        {"source box", [&] { form().txtKaynak_LostFocus(2); }},
        {"target box", [&] { form().txtHedef_LostFocus(3); }},
    };
    for (const auto& [name, handler] : handlers) {
        fs::remove(settingsFile());
        handler();
        const std::string text = readFile(settingsFile());
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14) << name;
    }
    EXPECT_NE(readFile(settingsFile()).find("\r\n1\r\n04:30:15\r\n0\r\n17:00:00\r\n"), std::string::npos);
}

TEST_F(SettingsHandlersTest, TheRowsHandlersWriteOnlyTheExtraFile) {
    const std::string text = handMadeFile();
    writeFile(settingsFile(), text);
    form().Form_Load();
    view.setKeepArchivesValue(12);
    EXPECT_EQ(readFile(extraFile()), "SaklanacakYedek=12\r\nKacanYedek=0\r\n");
    view.setMissedRunValue(1);
    EXPECT_EQ(readFile(extraFile()), "SaklanacakYedek=12\r\nKacanYedek=1\r\n");
    EXPECT_EQ(readFile(settingsFile()), text);
}

// Loading fills the row from the file (the codec's own cases are in its tests) and writes nothing.
TEST_F(SettingsHandlersTest, LoadingSetsTheRowAndWritesNothing) {
    const std::string text = "; el ile\r\nSaklanacakYedek=30\r\nKacanYedek=1\r\n";
    writeFile(extraFile(), text);
    view.keepArchives = 7;  // the row shows other values before loading
    view.missedRun = 0;
    form().Form_Load();
    EXPECT_EQ(view.keepArchivesValue(), 30);
    EXPECT_EQ(view.missedRunValue(), 1);
    EXPECT_EQ(readFile(extraFile()), text);
}

TEST_F(SettingsHandlersTest, LoadingAnExistingFileLeavesItsBytes) {
    const std::string text = handMadeFile();
    writeFile(settingsFile(), text);
    form().Form_Load();
    EXPECT_EQ(readFile(settingsFile()), text);
    EXPECT_EQ(view.switchValue(1), 2);
    EXPECT_EQ(view.pickerTime(2), (TimeOfDay{7, 8, 9}));
    EXPECT_EQ(view.targetText(3), "c:\\b");
}

TEST_F(SettingsHandlersTest, AFailedSaveIsLoggedEachTimeAndWarnedOncePerCauseForEachFile) {
    struct Saved {
        fs::path file;
        const char* name;
        std::function<void(int)> change;  // a change of the file's own, to another value each time
    };
    const Saved files[] = {
        {settingsFile(), "TarvelYedek.ini",
         [&](int n) {
             view.setPickerTime(0, {n, 0, 0});
         }},
        {extraFile(), "TarvelYedekEk.ini", [&](int n) { view.setKeepArchivesValue(n); }},
    };
    form().Form_Load();
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    std::size_t warned = 0;
    for (const Saved& f : files) {
        f.change(1);
        const std::string saved = readFile(f.file);
        fs::permissions(f.file, writable, fs::perm_options::remove);
        f.change(2);
        f.change(3);
        EXPECT_EQ(readFile(f.file), saved) << f.name;
        const std::string line =
            "Ayarlar kaydedilemedi: " + programFolder() + "\\" + f.name + " (dosya salt okunur)";
        const std::string log = readFile(logFile());
        std::size_t lines = 0;
        for (auto p = log.find(line); p != std::string::npos; p = log.find(line, p + 1)) ++lines;
        EXPECT_EQ(lines, 2u) << log;
        // The same cause told for the other file does not keep this one's quiet.
        ASSERT_EQ(view.warnings.size(), warned + 1) << f.name;
        EXPECT_EQ(view.warnings.back(), "ZEL Yedek: " + line);

        fs::permissions(f.file, fs::perms::owner_write, fs::perm_options::add);
        f.change(4);  // saved: the next failure is told again
        fs::permissions(f.file, writable, fs::perm_options::remove);
        f.change(5);
        fs::permissions(f.file, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(view.warnings.size(), warned + 2) << f.name;
        warned = view.warnings.size();
    }
}

}  // namespace
}  // namespace zel::test
