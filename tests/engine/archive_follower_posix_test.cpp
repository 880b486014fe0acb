// The follower on the real zip: what it reads back while zip writes is what the check after zip
// finds, and a byte changed afterwards in an entry read back then is still found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "engine/archive_check.h"
#include "engine/archive_follower.h"
#include "platform/native_file_system.h"
#include "support/core/drive_fixture.h"
#include "support/core/temp_dir.h"
#include "support/core/zip_writer.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

TEST(ArchiveFollower, FollowsTheRealZipAndWhatChangesAfterIsStillFound) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: nothing is followed";
    test::TempDrives drives;
    const fs::path c = drives.drive('c');
    const std::string body = test::mixedBytes(60'000);
    for (int i = 0; i < 300; ++i)
        test::writeFile(c / "kaynak" / ("d" + std::to_string(i % 10)) / std::to_string(i),
                        std::to_string(i) + body);
    fs::create_directories(c / "hedef");
    NativeFileSystem files(PathMap(drives.root().string()));

    ArchiveFollower follower(files, "c:\\hedef");
    const std::string zip = "cd '" + c.string() + "' && zip -qr hedef/a.zip kaynak";
    ASSERT_EQ(std::system(zip.c_str()), 0);
    const std::vector<EarlyCheck> early = follower.finish();
    ASSERT_FALSE(early.empty());  // zip takes a good part of a second: entries were read meanwhile

    auto archive = files.openForReading("c:\\hedef\\a.zip");
    ASSERT_TRUE(archive);
    const ArchiveCheck check = checkArchive(*archive, Inflation::Fast, early);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.files.size(), 300u);

    std::string bytes = test::readFile(c / "hedef" / "a.zip");
    bytes[early.back().offset + early.back().length - 10] ^= 0x20;  // in the last entry read early
    test::writeFile(c / "hedef" / "a.zip", bytes);
    archive = files.openForReading("c:\\hedef\\a.zip");
    EXPECT_FALSE(checkArchive(*archive, Inflation::Fast, early).whole);
}

}  // namespace
}  // namespace zel
