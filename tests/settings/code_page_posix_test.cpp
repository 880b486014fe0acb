#include <gtest/gtest.h>
#include <iconv.h>

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

TEST(CodePage, ATextWithACharacterTheCodePageLacksConvertsToNothing) {
    EXPECT_EQ(toCodePage("a\xE2\x82\xAC"
                         "b"),
              "a\x80"
              "b");  // the euro sign exists in 1254
    for (const char* lost : {"a\xE4\xB8\xAD" /* CJK */, "a\xF0\x9F\x98\x80" /* emoji */,
                             "a\xC3" /* a broken sequence */, "\xC5\x9F\xC3\xA7 \xC5\x91" /* Hungarian ő */})
        EXPECT_EQ(toCodePage(lost), std::nullopt) << lost;
}

TEST(CodePage, EveryByteReadsAndWritesBackUnchanged) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(toCodePage(fromCodePage(all)), all);
    // A file an editor saved as UTF-8: "Ş" is C5 9E, and 9E is one that 1254 leaves undefined.
    const std::string utf8File = "c:\\Yede\xC5\x9Fler\r\n";
    EXPECT_EQ(toCodePage(fromCodePage(utf8File)), utf8File);
    EXPECT_EQ(fromCodePage("\x81\x8D\x8E\x8F\x90\x9D\x9E"), "\u0081\u008D\u008E\u008F\u0090\u009D\u009E");
}

TEST(CodePage, DefinedBytesMeanWhatTheSystemConverterSays) {
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1254");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 0x80; b < 256; ++b) {
        char in = static_cast<char>(b), out[8] = {};
        char *src = &in, *dst = out;
        std::size_t srcLeft = 1, dstLeft = sizeof out;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;  // undefined there; kept as the C1 control above
        }
        EXPECT_EQ(fromCodePage(std::string(1, in)), std::string(out, dst)) << "byte " << b;
    }
    iconv_close(cd);
}

}  // namespace
}  // namespace zel
