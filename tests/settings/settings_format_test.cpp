#include "settings/settings_format.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zel {
namespace {

const LocaleFormats kTr = LocaleFormats::turkish();

TEST(SettingsText, DefaultsGiveTheKnownFourteenLines) {
    Settings s;
    s.sources.fill("c:\\brevund");
    s.targets.fill("c:\\tarvel-yedek");
    s.switches = {1, 1, 1};
    s.times = kDefaultSlotTimes;
    std::string expected;
    for (int i = 0; i < 4; ++i) expected += "c:\\brevund\r\nc:\\tarvel-yedek\r\n";
    expected += "1\r\n05:00:00\r\n1\r\n17:00:00\r\n1\r\n12:00:00\r\n";
    EXPECT_EQ(settingsText(s), expected);
}

TEST(SettingsText, EmptyBoxesAndGrayedSwitchesAreWrittenAsTheyAre) {
    Settings s;
    s.sources = {"", " a ", "b", "c"};
    s.switches = {2, 0, 1};
    s.times = {{{0, 0, 0}, {23, 59, 59}, {9, 5, 7}}};
    std::string text = settingsText(s);
    EXPECT_EQ(text.substr(0, 2), "\r\n");
    EXPECT_NE(text.find("\r\n a \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n2\r\n00:00:00\r\n0\r\n23:59:59\r\n1\r\n09:05:07\r\n"), std::string::npos);
}

TEST(SettingsText, NoFolderLineEverBreaksTheFourteenLines) {
    Settings s;
    s.sources = {"c:\\a\r\nb", "\n", "c:\\x\ty", "c:\\\xC5\x9E"};
    s.targets = {"\r", "d", "e", "f"};
    const std::string text = settingsText(s);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 14);
    EXPECT_EQ(text.substr(0, 14), "c:\\ab\r\n\r\n\r\nd\r\n");
    EXPECT_NE(text.find("c:\\x\ty\r\n"), std::string::npos);  // a tab read from the file stays
}

TEST(FolderBoxText, ControlCharactersOfATypedOrPastedTextAreRemoved) {
    EXPECT_EQ(folderBoxText("c:\\yedek\r\nc:\\ikinci"), "c:\\yedekc:\\ikinci");
    EXPECT_EQ(folderBoxText("\ta\x01"
                            "b\x7F"),
              "ab");
    EXPECT_EQ(folderBoxText("c:\\\xC3\x87\xC4\xB1kt\xC4\xB1 \xC2\x9E"),
              "c:\\\xC3\x87\xC4\xB1kt\xC4\xB1 \xC2\x9E");
}

TEST(SettingsLines, AcceptsCrLfAndLfAndStopsAfterFourteen) {
    using V = std::vector<std::string>;
    EXPECT_EQ(settingsLines("a\r\nb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(settingsLines("a\r\n\r\nc\r\n"), (V{"a", "", "c"}));
    EXPECT_EQ(settingsLines(""), V{});
    std::string many;
    for (int i = 1; i <= 20; ++i) many += std::to_string(i) + "\r\n";
    auto lines = settingsLines(many);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines.back(), "14");
}

TEST(SwitchLine, OnlyZeroOneAndTwo) {
    EXPECT_EQ(parseSwitchLine("0"), 0);
    EXPECT_EQ(parseSwitchLine("1"), 1);
    EXPECT_EQ(parseSwitchLine(" 2 "), 2);
    for (const char* bad : {"3", "-1", "", "on", "1.5", "1x", "99999999999"})
        EXPECT_FALSE(parseSwitchLine(bad).has_value()) << bad;
}

TEST(TimeLine, AcceptsTheWrittenFormAndCommonTimes) {
    EXPECT_EQ(parseTimeLine("05:00:00", kTr), (TimeOfDay{5, 0, 0}));
    EXPECT_EQ(parseTimeLine("17:30", kTr), (TimeOfDay{17, 30, 0}));
    EXPECT_EQ(parseTimeLine("7:05:09", kTr), (TimeOfDay{7, 5, 9}));
    EXPECT_EQ(parseTimeLine("5:00:00 PM", kTr), (TimeOfDay{17, 0, 0}));
    EXPECT_EQ(parseTimeLine("12:15 am", kTr), (TimeOfDay{0, 15, 0}));
}

TEST(TimeLine, KeepsOnlyTheTimeOfADateTime) {
    EXPECT_EQ(parseTimeLine("05.03.2024 17:00:00", kTr), (TimeOfDay{17, 0, 0}));
    EXPECT_EQ(parseTimeLine("3/5/2024 06:45:10", LocaleFormats::unitedStates()), (TimeOfDay{6, 45, 10}));
    EXPECT_EQ(parseTimeLine("2024-03-05T12:00:30", kTr), (TimeOfDay{12, 0, 30}));
    EXPECT_EQ(parseTimeLine("2024-03-05 08:00", kTr), (TimeOfDay{8, 0, 0}));
    EXPECT_EQ(parseTimeLine("05.03.2024", kTr), (TimeOfDay{0, 0, 0}));
}

TEST(TimeLine, RefusesWhatIsNoTime) {
    for (const char* bad : {"", "abc", "24:00:00", "12:60:00", "12:00:61", "12", "1:2:3:4", "13:00 PM",
                            "31.02.2024 10:00", "2024-13-01 10:00", "05.03.2024 xx", "-1:00"})
        EXPECT_FALSE(parseTimeLine(bad, kTr).has_value()) << bad;
}

TEST(SettingsPath, ProgramFolderThenTheFileName) {
    EXPECT_EQ(settingsPath("c:\\program"), "c:\\program\\TarvelYedek.ini");
    EXPECT_EQ(settingsPath("c:\\"), "c:\\\\TarvelYedek.ini");  // plain concatenation
}

}  // namespace
}  // namespace zel
