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

}  // namespace
}  // namespace zel::test
