#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/security/program_trust.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

// The places are found as the kernel resolves them: links followed, a missing program judged by
// the folder it would be made in.
TEST(ProgramTrust, TheRealPlacesDownToTheProgramAreJudged) {
    test::TempDir dir;
    const fs::path real = fs::canonical(dir.path());
    fs::create_directories(real / "bin");
    ::chmod((real / "bin").c_str(), 0755);
    test::writeFile(real / "bin" / "proshut.bat", "#!/bin/sh\n");
    ::chmod((real / "bin" / "proshut.bat").c_str(), 0755);
    fs::create_directory_symlink(real / "bin", real / "link");

    EXPECT_EQ(untrustedWriters((real / "link" / "proshut.bat").string()), "");
    ::chmod((real / "bin").c_str(), 0777);
    const std::string open = (real / "bin").string() + ": herkes";
    EXPECT_EQ(untrustedWriters((real / "link" / "proshut.bat").string()), open);
    EXPECT_EQ(untrustedWriters((real / "bin" / "yok" / "proshut.bat").string()), open);
    ::chmod((real / "bin").c_str(), 0755);
    ::chmod((real / "bin" / "proshut.bat").c_str(), 0775);
    EXPECT_NE(untrustedWriters((real / "bin" / "proshut.bat").string()).find("proshut.bat: grup"), std::string::npos);
}

// The way as written counts, not only where it ends: a link that a user could point elsewhere
// leaves the program his to choose, and a program that is not there is not run.
TEST(ProgramTrust, EveryLinkOnTheWayAndItsFolderAreJudgedAndAMissingProgramIsNot) {
    test::TempDir dir;
    const fs::path real = fs::canonical(dir.path());
    fs::create_directories(real / "bin");
    ::chmod((real / "bin").c_str(), 0755);
    test::writeFile(real / "bin" / "proshut.bat", "#!/bin/sh\n");
    fs::create_directories(real / "kullanici");
    fs::create_directory_symlink("../bin", real / "kullanici" / "bag");  // relative, then ".."
    fs::create_directory_symlink(real / "kullanici" / "bag", real / "zincir");
    struct Case {
        fs::path program;
        std::string who;
    };
    const std::string own = (real / "kullanici").string() + ": kullanıcı 4242";
    const Case trusted[] = {
        {real / "zincir" / "proshut.bat", ""},
        {real / "kullanici" / "bag" / ".." / "bin" / "proshut.bat", ""},
        {real / "bin" / "yok.bat", (real / "bin" / "yok.bat").string() + ": bulunamadı"},
    };
    for (const Case& c : trusted) EXPECT_EQ(untrustedWriters(c.program.string()), c.who) << c.program;
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user here";
    ASSERT_EQ(::chown((real / "kullanici").c_str(), 4242, 4242), 0);
    for (const fs::path& through : {real / "zincir" / "proshut.bat", real / "kullanici" / "bag" / "proshut.bat"})
        EXPECT_EQ(untrustedWriters(through.string()), own) << through;
    EXPECT_EQ(untrustedWriters((real / "bin" / "proshut.bat").string()), "");
}

}  // namespace
}  // namespace zel
