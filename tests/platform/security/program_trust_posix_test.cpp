#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/security/program_trust.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

// Every place on the way as written is judged, each link where it stands and then where it leads:
// a link that a user could point elsewhere leaves the program his to choose. A missing program is
// not run, unless a folder on its way is already others' to write, which is told first.
TEST(ProgramTrust, ThePlacesDownToTheProgramAreJudgedLinksAndAll) {
    test::TempDir dir;
    const fs::path real = fs::canonical(dir.path());
    fs::create_directories(real / "bin");
    ::chmod((real / "bin").c_str(), 0755);
    test::writeFile(real / "bin" / "proshut.bat", "#!/bin/sh\n");
    ::chmod((real / "bin" / "proshut.bat").c_str(), 0755);
    fs::create_directory_symlink(real / "bin", real / "link");
    fs::create_directories(real / "kullanici");
    fs::create_directory_symlink("../bin", real / "kullanici" / "bag");  // relative, then ".."
    fs::create_directory_symlink(real / "kullanici" / "bag", real / "zincir");
    const auto judged = [](const fs::path& program) { return untrustedWriters(program.string()); };

    for (const fs::path& p : {real / "link" / "proshut.bat", real / "zincir" / "proshut.bat",
                              real / "kullanici" / "bag" / ".." / "bin" / "proshut.bat"})
        EXPECT_EQ(judged(p), "") << p;
    EXPECT_EQ(judged(real / "bin" / "yok.bat"), (real / "bin" / "yok.bat").string() + ": bulunamadı");
    ::chmod((real / "bin").c_str(), 0777);
    const std::string open = (real / "bin").string() + ": herkes";
    EXPECT_EQ(judged(real / "link" / "proshut.bat"), open);
    EXPECT_EQ(judged(real / "bin" / "yok" / "proshut.bat"), open);
    ::chmod((real / "bin").c_str(), 0755);
    ::chmod((real / "bin" / "proshut.bat").c_str(), 0775);
    EXPECT_NE(judged(real / "bin" / "proshut.bat").find("proshut.bat: grup"), std::string::npos);
    ::chmod((real / "bin" / "proshut.bat").c_str(), 0755);

    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user here";
    ASSERT_EQ(::chown((real / "kullanici").c_str(), 4242, 4242), 0);
    for (const fs::path& p : {real / "zincir" / "proshut.bat", real / "kullanici" / "bag" / "proshut.bat"})
        EXPECT_EQ(judged(p), (real / "kullanici").string() + ": kullanıcı 4242") << p;
}

}  // namespace
}  // namespace zel
