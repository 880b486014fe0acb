#include <gtest/gtest.h>

#include "db/disconnect_service.h"
#include "db/history.h"
#include "engine/folder_text.h"
#include "text/utf8.h"

namespace zel {
namespace {

TEST(HistoryEntry, DateTimeWithTheLocaleSeparatorsThenTheComputer) {
    const LocalDateTime t{2026, 12, 6, 14, 5, 59};
    EXPECT_EQ(historyEntry(t, LocaleFormats{"/", ":", "dd/MM/yyyy"}, "OFIS-PC"), "06/12/2026 14:05|OFIS-PC");
    EXPECT_EQ(historyEntry(t, LocaleFormats::turkish(), "X"), "06.12.2026 14:05|X");
    EXPECT_EQ(historyEntry({2024, 3, 5, 9, 7, 0}, LocaleFormats{"-", ".", "yyyy-MM-dd"}, "X"),
              "05-03-2024 09.07|X");
}

TEST(PrependHistory, NewestFirstSeparatedByOSlash) {
    EXPECT_EQ(prependHistory("B", "A"),
              "B\xC3\xB8"
              "A");
    EXPECT_EQ(prependHistory("B", ""), "B\xC3\xB8");
}

TEST(PrependHistory, CutAfterTheFiveHundredthCharacterNeverInsideOne) {
    std::string old;
    for (int i = 0; i < 300; ++i) old += "\xC3\xB8x";  // 600 characters, 900 bytes
    std::string v = prependHistory("06/12/2026 14:05|PC", old);
    EXPECT_EQ(utf8Length(v), 500u);
    EXPECT_EQ(v.rfind("06/12/2026 14:05|PC\xC3\xB8", 0), 0u);
    EXPECT_NE(static_cast<unsigned char>(v.back()) & 0xC0, 0xC0u) << "a character was cut in two";
}

TEST(HistoryStatements, ByteForByteWithQuotesDoubled) {
    EXPECT_EQ(historyInsertStatement("06/12/2026 14:05|PC"),
              " INSERT INTO pub.zelParameter VALUES (1000,'','06/12/2026 14:05|PC', 'Last Backup Time')");
    EXPECT_EQ(historyUpdateStatement("a"),
              " UPDATE pub.zelParameter SET zelParameterValue='a' WHERE zelParameterID=1000 ");
    EXPECT_EQ(historyInsertStatement("x|O'NEIL"),
              " INSERT INTO pub.zelParameter VALUES (1000,'','x|O''NEIL', 'Last Backup Time')");
    EXPECT_EQ(sqlQuoted("''"), "''''");
}

TEST(ShutdownCommandLine, DriveOfTheFirstSourceAndTheUserOrNothing) {
    EXPECT_EQ(shutdownCommandLine("c:\\brevund", "7"),
              "c:\\progress\\openedge\\bin\\proshut.bat c:\\brevund\\tarvel\\db\\dorvanel -C disconnect 7");
    EXPECT_EQ(shutdownCommandLine("d:\\data", "12"),
              "c:\\progress\\openedge\\bin\\proshut.bat d:\\brevund\\tarvel\\db\\dorvanel -C disconnect 12");
    // Only a drive's root goes into the line, which cmd runs: "e:", "&x" or a share start nothing.
    for (const char* source : {"e:", "&x\\y", "\\\\s\\p", "", "c:/x", "x"}) {
        EXPECT_FALSE(shutdownCommandLine(source, "1")) << source;
        EXPECT_EQ(utilityRefusal(source, {}), std::string(kPrefixNotADrive) + source);
    }
    EXPECT_EQ(utilityRefusal("c:\\brevund", {}), "");
    EXPECT_EQ(utilityRefusal("c:\\brevund", [](const std::string& p) { return p == "c:\\progress\\openedge\\bin\\proshut.bat" ? "/x: herkes" : "?"; }),
              "Kapatma program\xC4\xB1 g\xC3\xBCvenli bir klas\xC3\xB6rde de\xC4\x9Fil: c:\\progress\\openedge\\bin\\proshut.bat (/x: herkes)");
}

TEST(RequestedUser, OnlyWholeNumbersReachTheCommandLine) {
    EXPECT_EQ(requestedUser(std::string("7")), "7");
    EXPECT_EQ(requestedUser(std::string("  42 ")), "42");
    for (const char* bad : {"", "   ", "7 & del c:\\*", "-3", "1.5", "7;", "\"7\"", "0x10"})
        EXPECT_FALSE(requestedUser(std::string(bad)).has_value()) << bad;
    EXPECT_FALSE(requestedUser(std::nullopt).has_value());
}

TEST(StatusText, StatusCheckAndTheTime) {
    EXPECT_EQ(statusText({2026, 1, 1, 14, 5, 9}, ":"), "Status Check 14:05:09");
}

}  // namespace
}  // namespace zel
