#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files/native_file_system.h"
#include "platform/system/wide_text_win.h"
#include "support/core/access_list_win.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

test::AccessList accessListOfFile(const fs::path& file) {
    HANDLE h = CreateFileW(file.c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const test::AccessList list = test::accessListOf(h, SE_FILE_OBJECT);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return list;
}

// A settings file that holds a password is SYSTEM's, the Administrators' and its own user's alone,
// from its creation on, whatever was there before it; any other takes its folder's list.
TEST(WinNativeFileSystem, AnOwnerOnlyReplaceGivesThePrivateListAndAnyOtherTheFoldersOwn) {
    const std::string user = test::testUserSid();
    enum Before { Nothing, AFile, ALeftoverTemporary, AnOwnerOnlyFile };
    const struct {
        Before before;
        bool ownerOnly;
    } cases[] = {{Nothing, true},
                 {AFile, true},
                 {ALeftoverTemporary, true},
                 {Nothing, false},
                 {AnOwnerOnlyFile, false}};
    for (const auto& c : cases) {
        test::TempDir tmp;
        NativeFileSystem files{PathMap()};
        const std::string file = narrow((tmp / "s.ini").wstring());
        if (c.before == AFile || c.before == ALeftoverTemporary)
            test::writeFile(tmp / (c.before == AFile ? "s.ini" : "s.ini.tmp"), "eski");
        if (c.before == AnOwnerOnlyFile) {
            ASSERT_TRUE(files.replaceContent(file, "eski", true));
        }
        ASSERT_TRUE(files.replaceContent(file, "yeni", c.ownerOnly)) << c.before;
        EXPECT_EQ(test::readFile(tmp / "s.ini"), "yeni");
        EXPECT_FALSE(fs::exists(tmp / "s.ini.tmp"));

        const test::AccessList list = accessListOfFile(tmp / "s.ini");
        test::writeFile(tmp / "ref", "");  // made there without a list of its own
        const test::AccessList folders = accessListOfFile(tmp / "ref");
        if (!c.ownerOnly) {
            EXPECT_EQ(list.grants, folders.grants) << c.before;
            EXPECT_EQ(list.isProtected, folders.isProtected) << c.before;
            continue;
        }
        // Nobody else, no Users, no Everyone. Wine keeps a file's list only as far as its Unix mode
        // tells: without the Administrators and the protection from the folder.
        std::map<std::string, ACCESS_MASK> admitted{{test::kSystemSid, FILE_ALL_ACCESS},
                                                    {user, FILE_ALL_ACCESS}};
        const bool keepsLists = folders.grants.count(test::kAdministratorsSid) != 0;
        if (keepsLists) admitted[test::kAdministratorsSid] = FILE_ALL_ACCESS;
        EXPECT_EQ(list.grants, admitted) << c.before;
        EXPECT_EQ(list.isProtected, keepsLists) << c.before;
    }
}

}  // namespace
}  // namespace zel
