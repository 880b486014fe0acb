#include "engine/backup_rules.h"
#include "engine/folder_text.h"
#include "platform/files/path_map.h"
#include "platform/processes/command_words.h"

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

const std::string kTool = zipToolPath("c:\\");

TEST(ZipCommandLine, IsByteForByteWithoutSpaces) {
    EXPECT_EQ(
        zipCommandLine(kTool, "c:\\tarvel-yedek", "tarvel-yedek20240305.0907.zip", "c:\\brevund"),
        "c:\\brevund\\tarvel\\bat\\zip.exe c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip -r c:\\brevund");
    // A target ending in a backslash gives two before the name.
    EXPECT_EQ(zipCommandLine(kTool, "c:\\y\\", "20240305.0907.zip", "c:\\s"),
              "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y\\\\20240305.0907.zip -r c:\\s");
    // A work folder of zip's own, quoted as any piece; a text that is none refuses the line.
    EXPECT_EQ(zipCommandLine(kTool, "c:\\y", "n.zip", "c:\\s", "c:\\y\\zelyedek is.1"),
              "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y\\n.zip -r c:\\s -b \"c:\\y\\zelyedek is.1\"");
    EXPECT_FALSE(zipCommandLine(kTool, "c:\\y", "n.zip", "c:\\s", "c:\\y\"x"));
}

TEST(ZipCommandLine, PiecesWithSpacesAreQuoted) {
    EXPECT_EQ(zipCommandLine(kTool, "c:\\eski yedek", "eski yedek20240305.0907.zip", "c:\\my docs"),
              "c:\\brevund\\tarvel\\bat\\zip.exe \"c:\\eski yedek\\eski yedek20240305.0907.zip\" -r \"c:\\my "
              "docs\"");
    EXPECT_EQ(zipCommandLine("C:\\Program Files\\ZEL Yedek\\zip.exe", "t", "n.zip", "s"),
              "\"C:\\Program Files\\ZEL Yedek\\zip.exe\" t\\n.zip -r s");
    // A folder typed with a trailing backslash: doubled, or the quote after it would be literal.
    EXPECT_EQ(zipCommandLine(kTool, "c:\\y", "n.zip", "c:\\eski yedek\\"),
              "c:\\brevund\\tarvel\\bat\\zip.exe c:\\y\\n.zip -r \"c:\\eski yedek\\\\\"");
}

// Whatever a folder text holds, the line zip gets splits back into the very words the run meant,
// or is not built at all: no text can add an option of zip's or a program of its own.
TEST(ZipCommandLine, SplitsBackIntoItsPiecesOrIsRefused) {
    std::vector<std::string> sound = {
        "c:\\eski yedek\\", "c:\\eski yedek\\\\", "c:\\a b", "c:\\", "d:\\x y\\z\\", "c:\\a&b ^c %PATH%",
        "c:\\$(id) `id`; x", "c:\\it's", "c:\\\xC3\xA7\xC4\xB1 k\xC3\xB6k", "\\\\sunucu\\pay la\xC5\x9F\\m",
        "c:\\-T"};
    // On Windows every folder is a Windows path, where a colon past the drive names a stream.
    if (nativeZipNaming() == ZipNaming::Posix) sound.push_back("/srv/veri:2");
    for (const std::string& text : sound) {
        const std::optional<std::string> line = zipCommandLine(kTool, text, "n.zip", text);
        ASSERT_TRUE(line) << text;
        EXPECT_EQ(splitCommandWords(*line),
                  (std::vector<std::string>{kTool, archivePath(text, "n.zip"), "-r", text}))
            << *line;
    }
    const std::vector<std::string> hostile = {
        "c:\\out\" -T -TT \"sh /tmp/x #", "c:\\a\"b", "c:\\a\tb", "c:\\a\nb", "c:\\a\rb", "c:\\a\x7F",
        "c:\\a|b", "c:\\a>b", "c:\\a<b", "c:\\a?", "c:\\*", "c:\\a:b", "c:\\a b\\:$DATA", "-TT sh",
        "-r", "\\\\sunucu\\a|b"};
    for (const std::string& text : hostile) {
        EXPECT_FALSE(isFolderText(text)) << text;
        EXPECT_FALSE(zipCommandLine(kTool, text, "n.zip", "c:\\s")) << text;
        EXPECT_FALSE(zipCommandLine(kTool, "c:\\t", "n.zip", text)) << text;
    }
}

TEST(FolderText, TellsWhatItRefusesWithoutItsControlCharacters) {
    EXPECT_TRUE(isFolderText(""));
    EXPECT_EQ(badFolderText("c:\\a\"b"), "Geçersiz klasör adı: c:\\a\"b");
    EXPECT_EQ(badFolderText("c:\\a\nb\tc"), "Geçersiz klasör adı: c:\\a\\x0Ab\\x09c");
    for (const auto& [prefix, drive] : std::vector<std::pair<std::string, bool>>{
             {"c:\\", true}, {"D:\\", true}, {"c:", false}, {"c:/", false}, {"\\\\s", false}, {"", false},
             {"1:\\", false}, {"/sr", false}})
        EXPECT_EQ(isDriveRoot(prefix), drive) << prefix;
}

TEST(SameFolder, SeparatorsNeverCountLetterCaseOnlyWhereNamesKeepIt) {
    const std::tuple<const char*, const char*, bool, bool> cases[] = {
        {"c:\\x", "c:\\x\\", false, true},  {"c:\\x", "c:/x", false, true},
        {"C:\\X", "c:\\x\\", true, true},   {"C:\\X", "c:\\x", false, false},
        {"c:\\x", "c:\\xy", true, false},     {"\xC3\x87", "\xC3\xA7", true, false},  // Ç and ç: bytes kept
    };
    for (const auto& [a, b, ignoreCase, same] : cases) EXPECT_EQ(sameFolder(a, b, ignoreCase), same) << a << " " << b;
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
