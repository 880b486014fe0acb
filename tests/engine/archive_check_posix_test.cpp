#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/archive_check.h"
#include "platform/native_file_system.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

// Info-ZIP's own archives read back, also in Zip64 form and with names outside ASCII.
TEST(ArchiveCheck, ReadsWhatInfoZipWrites) {
    test::TempDir dir;
    test::writeFile(dir / "brevund/şeker.txt", std::string(70000, 's') + "son");
    test::writeFile(dir / "brevund/alt/b.txt", "b");
    NativeFileSystem files{PathMap{}};
    for (const char* options : {"", "-fz"}) {
        const std::string zip = (dir / (std::string("o") + options + ".zip")).string();
        const std::string line = "cd '" + dir.str() + "' && zip -q " + options + " -r '" + zip + "' brevund";
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
        auto reader = files.openForReading(zip);
        ASSERT_TRUE(reader);
        ArchiveCheck check = checkArchive(*reader);
        EXPECT_TRUE(check.whole) << options << ": " << check.problem;
        std::sort(check.files.begin(), check.files.end());
        EXPECT_EQ(check.files, (std::vector<std::string>{"brevund/alt/b.txt", "brevund/şeker.txt"}))
            << options;
    }
}

}  // namespace
}  // namespace zel
