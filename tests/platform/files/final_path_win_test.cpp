#include "platform/files/final_path_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/system/wide_text_win.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

TEST(FinalPath, TheLongPathPrefixGoesSoThatOnePlaceReadsTheSame) {
    const struct {
        const wchar_t* given;
        const wchar_t* plain;
    } cases[] = {
        {L"\\\\?\\C:\\Users\\ali\\ZEL", L"C:\\Users\\ali\\ZEL"},
        {L"\\\\?\\C:\\", L"C:\\"},
        {L"\\\\?\\UNC\\sunucu\\paylasim\\ZEL", L"\\\\sunucu\\paylasim\\ZEL"},
        // A volume without a drive letter has no shorter name.
        {L"\\\\?\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\ZEL",
         L"\\\\?\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\ZEL"},
        {L"C:\\ZEL", L"C:\\ZEL"},
        {L"\\\\sunucu\\paylasim", L"\\\\sunucu\\paylasim"},
    };
    for (const auto& c : cases) EXPECT_EQ(withoutLongPathPrefix(c.given), c.plain) << narrow(c.given);
}

TEST(FinalPath, AFileSpelledInAnotherCaseHasItsOwnNameAndAMissingOneNone) {
    test::TempDir tmp;
    const std::wstring file = (tmp / "Ayarlar Dosyasi.ini").wstring();
    test::writeFile(file, "x");
    std::wstring upper = file;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::wstring final = finalPath(upper);
    ASSERT_FALSE(final.empty());
    EXPECT_EQ(final.substr(final.rfind(L'\\')), L"\\Ayarlar Dosyasi.ini");
    EXPECT_EQ(final.find(L"\\\\?\\"), std::wstring::npos);
    EXPECT_EQ(finalPath(file), final);
    EXPECT_EQ(finalPath(file + L".yok"), L"");
}

}  // namespace
}  // namespace zel
