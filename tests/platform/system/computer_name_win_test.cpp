#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files/native_file_system.h"
#include "platform/files/program_folder.h"
#include "platform/system/computer_name.h"
#include "settings/settings_format.h"

namespace zel {
namespace {

TEST(WinComputerName, IsTheSystemsNonEmptyName) {
    std::string name = GetComputerName();
    ASSERT_FALSE(name.empty());
    char buf[256] = {};
    DWORD n = 255;
    ASSERT_TRUE(GetComputerNameA(buf, &n));
    EXPECT_EQ(name, std::string(buf));
}

TEST(WinSettingsPath, BesideTheExecutableWithABackslash) {
    const std::string folder = executableFolder();
    const std::string path = settingsPath(folder);
    EXPECT_EQ(path, folder + "\\TarvelYedek.ini");
    std::filesystem::remove(path);
    NativeFileSystem files{PathMap()};
    auto content = files.readCreatingIfMissing(path);
    ASSERT_TRUE(content.has_value());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "TarvelYedek.ini"));
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace zel
