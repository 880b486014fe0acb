#include <windows.h>

#include <gtest/gtest.h>

#include "settings/code_page.h"

namespace zel {
namespace {

TEST(AnsiCodePage, TurkishBytesReadAndWrittenBack) {
    if (GetACP() != 1254) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not Turkish (1254)";
    const std::string bytes = "\xE7\xF0\xFD\xFE";  // ç ğ ı ş in 1254
    const std::string utf8 = "\xC3\xA7\xC4\x9F\xC4\xB1\xC5\x9F";
    EXPECT_EQ(fromCodePage(bytes), utf8);
    EXPECT_EQ(toCodePage(utf8), bytes);
    EXPECT_EQ(toCodePage("a\xE4\xB8\xAD"
                         "b"),
              std::nullopt);  // a character 1254 lacks: no "?" in its place, no best fit either
    EXPECT_EQ(toCodePage("\xC5\x91"), std::nullopt);  // ő, which a best fit would write as "o"
}

}  // namespace
}  // namespace zel
