#include <gtest/gtest.h>

#include "settings/code_page.h"

namespace zel {
namespace {

TEST(CodePage, TurkishLettersAreSingleWindows1254Bytes) {
    // ş ı ğ İ ç ö ü Ş Ğ
    const std::string utf8 = "\xC5\x9F\xC4\xB1\xC4\x9F\xC4\xB0\xC3\xA7\xC3\xB6\xC3\xBC\xC5\x9E\xC4\x9E";
    const std::string cp1254 = "\xFE\xFD\xF0\xDD\xE7\xF6\xFC\xDE\xD0";
    EXPECT_EQ(toCodePage(utf8), cp1254);
    EXPECT_EQ(fromCodePage(cp1254), utf8);
}

TEST(CodePage, AsciiPassesUnchanged) {
    EXPECT_EQ(toCodePage("c:\\tarvel-yedek\r\n"), "c:\\tarvel-yedek\r\n");
    EXPECT_EQ(fromCodePage("05:00:00"), "05:00:00");
}

TEST(CodePage, MissingCharactersBecomeQuestionMarks) {
    EXPECT_EQ(toCodePage("a\xE2\x82\xAC"
                         "b"),
              "a\x80"
              "b");  // the euro sign exists in 1254
    EXPECT_EQ(toCodePage("a\xE4\xB8\xAD"
                         "b"),
              "a?b");  // a CJK character does not
    EXPECT_EQ(toCodePage("a\xF0\x9F\x98\x80"
                         "b"),
              "a?b");  // nor an emoji
    EXPECT_EQ(toCodePage("a\xC3"
                         "b"),
              "a?b");  // a broken sequence
    EXPECT_EQ(fromCodePage("a\x81"
                           "b"),
              "a?b");  // a byte 1254 leaves undefined
}

}  // namespace
}  // namespace zel
