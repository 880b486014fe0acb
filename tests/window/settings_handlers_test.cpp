#include <algorithm>

#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

using SettingsHandlersTest = WindowTest;

TEST_F(SettingsHandlersTest, NothingIsSavedBeforeLoadingHasFinished) {
    form();
    view.setSwitchValue(1, 1);
    EXPECT_FALSE(fs::exists(settingsFile()));
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

TEST_F(SettingsHandlersTest, LoadingAnExistingFileLeavesItsBytes) {
    const std::string text =
        "c:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\n0\r\n01:02:03\r\n2\r\n04:05:"
        "06\r\n1\r\n07:08:09\r\n";
    writeFile(settingsFile(), text);
    form().Form_Load();
    EXPECT_EQ(readFile(settingsFile()), text);
    EXPECT_EQ(view.switchValue(1), 2);
    EXPECT_EQ(view.pickerTime(2), (TimeOfDay{7, 8, 9}));
    EXPECT_EQ(view.targetText(3), "c:\\b");
}

TEST_F(SettingsHandlersTest, AFailedSaveIsLoggedEachTimeAndWarnedOncePerCause) {
    form().Form_Load();
    view.setSwitchValue(0, 1);
    const std::string saved = readFile(settingsFile());
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(settingsFile(), writable, fs::perm_options::remove);
    view.setSwitchValue(0, 0);
    form().txtKaynak_LostFocus(1);
    EXPECT_EQ(readFile(settingsFile()), saved);
    const std::string line =
        "Ayarlar kaydedilemedi: " + programFolder() + "\\TarvelYedek.ini (dosya salt okunur)";
    const std::string log = readFile(logFile());
    std::size_t lines = 0;
    for (auto p = log.find(line); p != std::string::npos; p = log.find(line, p + 1)) ++lines;
    EXPECT_EQ(lines, 2u) << log;
    EXPECT_EQ(view.warnings, (std::vector<std::string>{"ZEL Yedek: " + line}));

    fs::permissions(settingsFile(), fs::perms::owner_write, fs::perm_options::add);
    view.setSwitchValue(0, 1);  // saved: the next failure is told again
    fs::permissions(settingsFile(), writable, fs::perm_options::remove);
    view.setSwitchValue(0, 0);
    fs::permissions(settingsFile(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(view.warnings.size(), 2u);
}

}  // namespace
}  // namespace zel::test
