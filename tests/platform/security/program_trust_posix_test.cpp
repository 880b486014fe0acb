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

}  // namespace
}  // namespace zel
