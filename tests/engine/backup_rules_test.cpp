#include "engine/backup_rules.h"
#include "platform/command_words.h"

#include <gtest/gtest.h>

#include <tuple>

namespace zel {
namespace {

const LocalDateTime kMarch5 = {2024, 3, 5, 9, 7, 41};

TEST(ArchiveName, PadsMonthDayHourAndMinute) {
    EXPECT_EQ(archiveName("c:\\tarvel-yedek", kMarch5), "tarvel-yedek20240305.0907.zip");
    EXPECT_EQ(archiveName("c:\\y", {2026, 12, 31, 23, 59, 59}), "y20261231.2359.zip");
}

TEST(ArchiveName, BaseIsTheTextAfterTheLastBackslash) {
    EXPECT_EQ(archiveBase("c:\\a\\b\\hedef"), "hedef");
    EXPECT_EQ(archiveBase("hedef"), "hedef");
    EXPECT_EQ(archiveBase("c:\\tarvel-yedek\\"), "");
    EXPECT_EQ(archiveName("c:\\tarvel-yedek\\", kMarch5), "20240305.0907.zip");
    EXPECT_EQ(archiveName("", kMarch5), "20240305.0907.zip");
}

TEST(ToolPrefix, FirstThreeCharactersOfTheFirstSource) {
    EXPECT_EQ(toolPrefix("c:\\brevund"), "c:\\");
    EXPECT_EQ(toolPrefix("d:"), "d:");
    EXPECT_EQ(toolPrefix(""), "");
    EXPECT_EQ(toolPrefix("\xC3\xA7\xC4\x9F\xC4\xB1x"),
              "\xC3\xA7\xC4\x9F\xC4\xB1");  // "çğı": characters, not bytes
    EXPECT_EQ(zipToolPath("c:\\"), "c:\\brevund\\tarvel\\bat\\zip.exe");
    EXPECT_EQ(zipStorePath("c:\\"), "c:\\brevund\\tarvel\\bat\\zip.ex_");
    EXPECT_EQ(zipToolPath(""), "brevund\\tarvel\\bat\\zip.exe");  // relative to the current folder
}

TEST(ZipCommandLine, IsByteForByteWithoutSpaces) {
    EXPECT_EQ(
        zipCommandLine("c:\\", "c:\\tarvel-yedek", "tarvel-yedek20240305.0907.zip", "c:\\brevund"),
        "c:\\brevund\\tarvel\\bat\\zip.exe c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip -r c:\\brevund");
}

TEST(ZipCommandLine, TargetEndingInBackslashGivesTwoBackslashes) {
    EXPECT_EQ(zipCommandLine("c:\\", "c:\\y\\", "20240305.0907.zip", "c:\\s"),
              "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y\\\\20240305.0907.zip -r c:\\s");
}

TEST(ZipCommandLine, PiecesWithSpacesAreQuoted) {
    EXPECT_EQ(zipCommandLine("c:\\", "c:\\eski yedek", "eski yedek20240305.0907.zip", "c:\\my docs"),
              "c:\\brevund\\tarvel\\bat\\zip.exe \"c:\\eski yedek\\eski yedek20240305.0907.zip\" -r \"c:\\my "
              "docs\"");
    EXPECT_EQ(zipCommandLine("x y", "t", "n.zip", "s"), "\"x ybrevund\\tarvel\\bat\\zip.exe\" t\\n.zip -r s");
    // A folder typed with a trailing backslash: doubled, or the quote after it would be literal.
    EXPECT_EQ(zipCommandLine("c:\\", "c:\\y", "n.zip", "c:\\eski yedek\\"),
              "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y\\n.zip -r \"c:\\eski yedek\\\\\"");
}

// The line zip gets must split back into the very pieces the run meant, whatever they end in.
TEST(ZipCommandLine, SplitsBackIntoItsPieces) {
    for (const std::string source :
         {"c:\\eski yedek\\", "c:\\eski yedek\\\\", "c:\\a b", "c:\\", "d:\\x y\\z\\"}) {
        const std::vector<std::string> words =
            splitCommandWords(zipCommandLine("c:\\", "c:\\eski yedek\\", "n.zip", source));
        ASSERT_EQ(words.size(), 4u) << source;
        EXPECT_EQ(words[1], "c:\\eski yedek\\\\n.zip");
        EXPECT_EQ(words[3], source);
    }
}

TEST(TargetInsideSource, FolderTextsComparedAsWindowsDoes) {
    const std::tuple<const char*, const char*, bool> cases[] = {{"c:\\brevund", "c:\\brevund\\yedek", true},
                                                                {"C:\\Brevund\\", "c:/brevund/yedek", true},
                                                                {"c:\\brevund", "c:\\brevund", true},
                                                                {"c:\\", "c:\\tarvel-yedek", true},
                                                                {"c:\\brevund", "c:\\brevund-yedek", false},
                                                                {"c:\\brevund\\veri", "c:\\brevund", false},
                                                                {"", "c:\\yedek", false}};
    for (const auto& [source, target, inside] : cases)
        EXPECT_EQ(targetInsideSource(source, target), inside) << source << " " << target;
}

TEST(LastBackupText, HeadingLineBreakDateTimeAndThreeSpaces) {
    EXPECT_EQ(lastBackupText("05.03.2024", "09:07:41"), "Son Yedekleme Tarihi: \r\n05.03.2024 09:07:41   ");
}

}  // namespace
}  // namespace zel
