#include "remote/folder_place.h"

#include <gtest/gtest.h>

#include "platform/files/native_file_system.h"
#include "support/core/temp_dir.h"
#include "support/core/zip_writer.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

class FolderPlaceTest : public ::testing::Test {
protected:
    FolderPlaceTest() {
        fs::create_directories(dir / "uzak");
        writeFile(dir / "arsiv.zip", zipArchive({{"veri/a.db", std::string(70000, 'a')}, {"veri/b.txt", "b"}}));
    }
    std::unique_ptr<FileReader> local() { return files.openForReading((dir / "arsiv.zip").string()); }
    std::optional<PlaceItem> put(std::string& failure) {
        return place.put("hedef", "arsiv.zip", *local(), stop, failure);
    }

    TempDir dir;
    NativeFileSystem files{PathMap{(dir / "drives").string()}};
    FolderPlace place{files, (dir / "uzak").string(), 0};
    std::atomic<bool> stop{false};
};

TEST_F(FolderPlaceTest, APutIsProvenAndReplacesWhatACutCopyLeft) {
    writeFile(dir / "uzak" / "hedef" / "arsiv.zip.kopya", "yarım kalmış");
    std::string failure;
    const std::optional<PlaceItem> copy = put(failure);
    ASSERT_TRUE(copy) << failure;
    EXPECT_EQ(readFile(dir / "uzak" / "hedef" / "arsiv.zip"), readFile(dir / "arsiv.zip"));
    EXPECT_FALSE(fs::exists(dir / "uzak" / "hedef" / "arsiv.zip.kopya"));
    std::string why;
    const std::optional<std::vector<PlaceItem>> listed = place.list("hedef", why);
    ASSERT_TRUE(listed) << why;
    EXPECT_EQ(*listed, std::vector<PlaceItem>{*copy});
    EXPECT_TRUE(place.prove("hedef", "arsiv.zip", *local(), stop));
}

TEST_F(FolderPlaceTest, ACopyThatDiffersIsFoundAndSetAsideBesideAnEarlierOne) {
    std::string failure;
    ASSERT_TRUE(put(failure)) << failure;
    const fs::path copy = dir / "uzak" / "hedef" / "arsiv.zip";
    const std::string whole = readFile(copy);
    const struct {
        const char* name;
        std::string bytes;
    } damages[] = {
        {"a byte flipped in an entry's data", [&] { std::string b = whole; b[100] ^= 1; return b; }()},
        {"cut short", whole.substr(0, whole.size() - 10)},
        {"another archive of the same size", [&] { std::string b = whole; b[b.size() - 30] ^= 1; return b; }()},
    };
    for (const auto& d : damages) {
        writeFile(copy, d.bytes);
        EXPECT_FALSE(place.prove("hedef", "arsiv.zip", *local(), stop)) << d.name;
    }
    writeFile(dir / "uzak" / "hedef" / "arsiv.zip.bozuk", "önceki");
    EXPECT_TRUE(place.setAside("hedef", "arsiv.zip"));
    EXPECT_EQ(readFile(dir / "uzak" / "hedef" / "arsiv.zip.1.bozuk"), damages[2].bytes);
    EXPECT_EQ(readFile(dir / "uzak" / "hedef" / "arsiv.zip.bozuk"), "önceki");
}

TEST_F(FolderPlaceTest, AStopCutsTheCopyAndAMissingPlaceIsNeitherMadeNorWritten) {
    stop = true;
    std::string failure;
    EXPECT_FALSE(put(failure));
    EXPECT_EQ(failure, "durduruldu");
    EXPECT_FALSE(fs::exists(dir / "uzak" / "hedef" / "arsiv.zip"));
    EXPECT_FALSE(fs::exists(dir / "uzak" / "hedef" / "arsiv.zip.kopya"));

    FolderPlace unplugged{files, (dir / "usb").string(), 0};
    EXPECT_FALSE(unplugged.begin());
    const std::vector<TrialStep> steps = unplugged.trial();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].what, "Bağlantı");
    EXPECT_FALSE(fs::exists(dir / "usb"));
    const std::vector<TrialStep> good = place.trial();
    ASSERT_EQ(good.size(), 3u);
    for (const TrialStep& s : good) EXPECT_EQ(s.failure, "") << s.what;
    EXPECT_FALSE(fs::exists(dir / "uzak" / std::string(kTrialName)));
}

}  // namespace
}  // namespace zel::test
