#include <gtest/gtest.h>

#include "platform/files/path_map.h"
#include "platform/processes/command_words.h"

namespace zel {
namespace {

TEST(DriveMapping, DriveLetterBecomesAFolderUnderTheDrivesRoot) {
    EXPECT_EQ(mapToDrivesFolder("c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip", "/opt/z/drives"),
              "/opt/z/drives/c/tarvel-yedek/tarvel-yedek20240305.0907.zip");
    EXPECT_EQ(mapToDrivesFolder("D:\\data", "/r"), "/r/d/data");
    EXPECT_EQ(mapToDrivesFolder("c:\\", "/r"), "/r/c/");
    EXPECT_EQ(mapToDrivesFolder("c:", "/r"), "/r/c");
    EXPECT_EQ(mapToDrivesFolder("c:brevund", "/r"), "/r/c/brevund");
}

TEST(DriveMapping, TextWithoutDriveOnlyTurnsBackslashes) {
    EXPECT_EQ(mapToDrivesFolder("brevund\\tarvel\\bat\\zip.exe", "/r"), "brevund/tarvel/bat/zip.exe");
    EXPECT_EQ(mapToDrivesFolder("/usr/bin/zip", "/r"), "/usr/bin/zip");
    EXPECT_EQ(mapToDrivesFolder("", "/r"), "");
}

TEST(DriveMapping, OnlyALetterAndColonIsADrive) {
    EXPECT_TRUE(startsWithDrive("c:\\x"));
    EXPECT_TRUE(startsWithDrive("Z:"));
    EXPECT_FALSE(startsWithDrive("1:\\x"));
    EXPECT_FALSE(startsWithDrive("c"));
    EXPECT_FALSE(startsWithDrive("\\\\server\\share"));
}

TEST(CommandWords, SplitAtSpacesWithQuotesGrouping) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitCommandWords("c:\\a\\zip.exe c:\\t\\x.zip -r c:\\brevund"),
              (V{"c:\\a\\zip.exe", "c:\\t\\x.zip", "-r", "c:\\brevund"}));
    EXPECT_EQ(splitCommandWords("zip  \"c:\\eski yedek\\x.zip\" -r \"c:\\my docs\""),
              (V{"zip", "c:\\eski yedek\\x.zip", "-r", "c:\\my docs"}));
    EXPECT_EQ(splitCommandWords("a \"\" b"), (V{"a", "", "b"}));
    EXPECT_EQ(splitCommandWords("   "), V{});
    // Backslashes are ordinary characters except before a quote, as Windows programs read them.
    EXPECT_EQ(splitCommandWords("p c:\\x\\ y"), (V{"p", "c:\\x\\", "y"}));
    EXPECT_EQ(splitCommandWords("p \"c:\\x y\\\\\" z"), (V{"p", "c:\\x y\\", "z"}));
    EXPECT_EQ(splitCommandWords("p \"c:\\x y\\\" z"), (V{"p", "c:\\x y\" z"}));
    EXPECT_EQ(splitCommandWords("a\\\\\\\"b c\tdd"), (V{"a\\\"b", "c", "dd"}));
}

TEST(CommandWords, ProgramAndDriveWordsBecomeNativePaths) {
#ifdef _WIN32
    EXPECT_EQ(PathMap("/r").native("c:\\brevund\\x"), "c:\\brevund\\x");
    GTEST_SKIP() << "Windows takes folder texts as written; the drive mapping is Linux's";
#endif
    PathMap paths("/r");
    using V = std::vector<std::string>;
    struct Case {
        const char* line;
        V words;
        const char* workingFolder;
    };
    for (const Case& c : {
             Case{"c:\\progress\\openedge\\bin\\proshut.bat c:\\brevund\\db -C disconnect 7",
                  {"/r/c/progress/openedge/bin/proshut.bat", "/r/c/brevund/db", "-C", "disconnect", "7"},
                  ""},
             // A relative program keeps its place relative to the current folder.
             Case{"brevund\\tarvel\\bat\\zip.exe x\\y.zip -r",
                  {"brevund/tarvel/bat/zip.exe", "x\\y.zip", "-r"},
                  ""},
             // A recursive zip starts in the source's drive and names the source from there.
             Case{"c:\\brevund\\tarvel\\bat\\zip.exe d:\\yedek\\y.zip -r c:\\brevund\\data",
                  {"/r/c/brevund/tarvel/bat/zip.exe", "/r/d/yedek/y.zip", "-r", "brevund/data"},
                  "/r/c/"},
             Case{"c:\\z.exe c:\\y.zip -r E:\\", {"/r/c/z.exe", "/r/c/y.zip", "-r", "."}, "/r/e/"},
             Case{"c:\\z.exe c:\\y.zip -r veri", {"/r/c/z.exe", "/r/c/y.zip", "-r", "veri"}, ""},
         }) {
        const NativeCommand command = nativeCommand(c.line, paths);
        EXPECT_EQ(command.words, c.words) << c.line;
        EXPECT_EQ(command.workingFolder, c.workingFolder) << c.line;
    }
}

}  // namespace
}  // namespace zel
