#include <gtest/gtest.h>

#include <map>
#include <set>

#include <sys/stat.h>

#include "platform/files/native_file_system.h"
#include "support/core/drive_fixture.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
protected:
    FileSystemTest() : files(PathMap(drives.root().string())) { fs::create_directories(drives.drive('c')); }
    test::TempDrives drives;
    NativeFileSystem files;
};

TEST_F(FileSystemTest, CreateFolderMakesOnlyTheLastComponent) {
    EXPECT_TRUE(files.createFolder("c:\\yeni"));
    EXPECT_TRUE(fs::is_directory(drives.drive('c') / "yeni"));
    EXPECT_FALSE(files.createFolder("c:\\yeni"));      // exists
    EXPECT_FALSE(files.createFolder("c:\\yok\\alt"));  // parent missing
    EXPECT_FALSE(files.createFolder(""));
    EXPECT_FALSE(files.createFolder("q:\\x"));  // drive not mapped
}

TEST_F(FileSystemTest, FolderExistsIsFalseForFilesAndEmptyText) {
    test::writeFile(drives.drive('c') / "f.txt", "x");
    EXPECT_TRUE(files.folderExists("c:\\"));
    EXPECT_FALSE(files.folderExists("c:\\f.txt"));
    EXPECT_FALSE(files.folderExists(""));
    EXPECT_FALSE(files.folderExists("z:\\"));
}

// Many files at once, folder after folder and in two halves: each one's stamp is its own, as one
// look at a time gives it; links are followed; what is gone or no file has none.
TEST_F(FileSystemTest, StampsOfManyFilesAreEachFilesOwn) {
    const fs::path c = drives.drive('c');
    std::vector<std::string> paths;
    for (int i = 0; i < 1800; ++i) {
        const std::string folder = "d" + std::to_string(i / 600), name = "f" + std::to_string(i % 600);
        test::writeFile(c / folder / name, std::string(i % 7, 'x'));
        paths.push_back("c:\\" + folder + "\\" + name);
    }
    fs::create_symlink(c / "d0" / "f5", c / "d1" / "bag");
    paths.insert(paths.begin() + 700, "c:\\d1\\bag");
    paths.insert(paths.begin() + 10, "c:\\d0\\yok");
    paths.push_back("c:\\d2");
    paths.push_back("q:\\x");
    const std::vector<std::optional<FileStamp>> stamps = files.fileStamps(paths);
    ASSERT_EQ(stamps.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(stamps[i], files.fileStamp(paths[i])) << paths[i];
    EXPECT_FALSE(stamps[10]);
    EXPECT_EQ(stamps[701]->size, 5u);  // the link, as the file it leads to
    EXPECT_FALSE(stamps[stamps.size() - 2]);
    EXPECT_FALSE(stamps.back());
}

TEST_F(FileSystemTest, SpaceOfALocalVolumeIsNotRemote) {
    const std::optional<VolumeSpace> space = files.volumeSpace("c:\\");
    ASSERT_TRUE(space);
    EXPECT_GT(space->total, 0u);
    EXPECT_LE(space->free, space->total);
    EXPECT_FALSE(space->remote);
    EXPECT_FALSE(files.volumeSpace("q:\\"));
}

TEST_F(FileSystemTest, AttributesReadableForFilesAndFolders) {
    test::writeFile(drives.drive('c') / "f.txt", "x");
    EXPECT_TRUE(files.attributesReadable("c:\\f.txt"));
    EXPECT_TRUE(files.attributesReadable("c:\\"));
    EXPECT_FALSE(files.attributesReadable("c:\\g.txt"));
    EXPECT_FALSE(files.attributesReadable(""));
}

TEST_F(FileSystemTest, CopyReplacesTheTargetAndKeepsPermissionBits) {
    test::writeFile(drives.drive('c') / "a", "new content");
    fs::permissions(drives.drive('c') / "a", fs::perms::owner_all);
    test::writeFile(drives.drive('c') / "b", "old");
    fs::permissions(drives.drive('c') / "b", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(files.copyFile("c:\\a", "c:\\b"));
    EXPECT_EQ(test::readFile(drives.drive('c') / "b"), "new content");
    EXPECT_EQ(fs::status(drives.drive('c') / "b").permissions(), fs::perms::owner_all);
    EXPECT_FALSE(files.copyFile("c:\\missing", "c:\\b"));
    EXPECT_EQ(test::readFile(drives.drive('c') / "b"), "new content");
}

TEST_F(FileSystemTest, ReadCreatesAMissingFileEmpty) {
    auto content = files.readCreatingIfMissing("c:\\TarvelYedek.ini");
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(*content, "");
    EXPECT_TRUE(fs::exists(drives.drive('c') / "TarvelYedek.ini"));
    EXPECT_FALSE(files.readCreatingIfMissing("c:\\yok\\TarvelYedek.ini").has_value());
}

TEST_F(FileSystemTest, ReplaceContentSwapsTheWholeFileAndLeavesNoTemporary) {
    test::writeFile(drives.drive('c') / "s.ini", "old old old");
    EXPECT_TRUE(files.replaceContent("c:\\s.ini", "new\r\n"));
    EXPECT_EQ(test::readFile(drives.drive('c') / "s.ini"), "new\r\n");
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(drives.drive('c'))) ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(files.replaceContent("c:\\yok\\s.ini", "x"));
}

TEST_F(FileSystemTest, AppendedLogMovesAsideAtItsLimitAndANewOneBegins) {
    const fs::path log = drives.drive('c') / "k.log";
    EXPECT_TRUE(files.appendRotating("c:\\k.log", "12345", 8));
    EXPECT_TRUE(files.appendRotating("c:\\k.log", "678", 8));  // 8 bytes now: at the limit
    EXPECT_EQ(test::readFile(log), "12345678");
    test::writeFile(drives.drive('c') / "k.log.1", "older");
    EXPECT_TRUE(files.appendRotating("c:\\k.log", "9", 8));
    EXPECT_EQ(test::readFile(drives.drive('c') / "k.log.1"), "12345678");
    EXPECT_EQ(test::readFile(log), "9");
    EXPECT_EQ(files.fileSize("c:\\k.log"), 1u);
    EXPECT_EQ(files.fileSize("c:\\"), std::nullopt);
    EXPECT_FALSE(files.appendRotating("c:\\yok\\k.log", "x", 8));
    EXPECT_FALSE(files.appendRotating("q:\\k.log", "x", 8));
}

// Kinds come from the folder's own entries where it tells them; links are followed as zip follows them.
TEST_F(FileSystemTest, ListedKindsFollowLinksAndPassOverPipesWhichAreNeverOpened) {
    const fs::path c = drives.drive('c');
    test::writeFile(c / "k" / "dosya.txt", "d");
    fs::create_directories(c / "k" / "alt");
    fs::create_symlink("dosya.txt", c / "k" / "dosyaya-bag");
    fs::create_directory_symlink("alt", c / "k" / "klasore-bag");
    fs::create_symlink("/yok/boyle/bir/yer", c / "k" / "kopuk");
    ASSERT_EQ(::mkfifo((c / "k" / "boru").c_str(), 0644), 0);
    // Opening a FIFO that nobody writes would wait for ever: it is refused at once.
    EXPECT_EQ(files.openForReading("c:\\k\\boru"), nullptr);
    const std::optional<std::vector<FolderItem>> items = files.listFolder("c:\\k");
    ASSERT_TRUE(items);
    std::map<std::string, FolderItem::Kind> kinds;
    for (const FolderItem& item : *items) kinds[item.name] = item.kind;
    using K = FolderItem::Kind;
    EXPECT_EQ(kinds, (std::map<std::string, K>{{"dosya.txt", K::File},
                                               {"alt", K::Folder},
                                               {"dosyaya-bag", K::File},
                                               {"klasore-bag", K::Folder},
                                               {"kopuk", K::Other},
                                               {"boru", K::Other}}));
}

TEST_F(FileSystemTest, ReplacingALinkWritesItsTargetAndKeepsTheLink) {
    fs::create_directories(drives.drive('c') / "real");
    test::writeFile(drives.drive('c') / "real" / "s.ini", "old");
    fs::create_symlink("real/s.ini", drives.drive('c') / "s.ini");
    EXPECT_TRUE(files.replaceContent("c:\\s.ini", "new"));
    EXPECT_TRUE(fs::is_symlink(drives.drive('c') / "s.ini"));
    EXPECT_EQ(test::readFile(drives.drive('c') / "real" / "s.ini"), "new");
}

TEST_F(FileSystemTest, ReadOnlyFileIsNotReplacedEvenByRoot) {
    const fs::path f = drives.drive('c') / "s.ini";
    test::writeFile(f, "old");
    fs::permissions(f, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(files.replaceContent("c:\\s.ini", "new"));
    EXPECT_EQ(test::readFile(f), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(drives.drive('c')), fs::directory_iterator()), 1);
}

// The service's umask 077 holds for what it writes: a new file and one of its own become 0600;
// one that another user put there keeps its mode.
TEST_F(FileSystemTest, ReplacedFilesFollowTheUmaskUnlessAnotherUserOwnsThem) {
    const fs::path c = drives.drive('c');
    test::writeFile(c / "eski.ini", "x");
    ::chmod((c / "eski.ini").c_str(), 0644);
    const mode_t before = ::umask(077);
    const auto mode = [&](const char* name) {
        struct stat st {};
        return ::stat((c / name).c_str(), &st) == 0 ? st.st_mode & 07777 : 01000u;
    };
    EXPECT_TRUE(files.replaceContent("c:\\yeni.ini", "y"));
    EXPECT_TRUE(files.replaceContent("c:\\eski.ini", "y"));
    EXPECT_EQ(mode("yeni.ini"), 0600u);
    EXPECT_EQ(mode("eski.ini"), 0600u);
    if (::geteuid() == 0) {
        test::writeFile(c / "baskasi.ini", "x");
        ::chmod((c / "baskasi.ini").c_str(), 0664);
        ASSERT_EQ(::chown((c / "baskasi.ini").c_str(), 4242, 4242), 0);
        EXPECT_TRUE(files.replaceContent("c:\\baskasi.ini", "y"));
        EXPECT_EQ(mode("baskasi.ini"), 0664u);
    }
    ::umask(before);
    EXPECT_TRUE(files.replaceContent("c:\\ucuncu.ini", "y"));
    EXPECT_EQ(mode("ucuncu.ini"), 0666u & ~before);
}

// What a monitoring collector reads: readable by all under the service's umask, and a link that
// somebody put at its name is replaced, its target left alone.
TEST_F(FileSystemTest, APublishedFileIsReadableByAllAndReplacesALinkWithoutFollowingIt) {
    const fs::path c = drives.drive('c');
    test::writeFile(c / "gizli", "dokunma");
    fs::create_symlink(c / "gizli", c / "m.prom");
    const mode_t before = ::umask(077);
    EXPECT_TRUE(files.publishFile("c:\\m.prom", "a 1\n"));
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::lstat((c / "m.prom").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(test::readFile(c / "m.prom"), "a 1\n");
    EXPECT_EQ(test::readFile(c / "gizli"), "dokunma");
    EXPECT_EQ(std::distance(fs::directory_iterator(c), fs::directory_iterator()), 2);
}

// A failed archive is renamed aside; an earlier file of that name must survive it, and so must the archive.
TEST_F(FileSystemTest, RenameNeverReplacesATakenName) {
    const fs::path c = drives.drive('c');
    test::writeFile(c / "a.zip", "yeni");
    test::writeFile(c / "a.zip.bozuk", "eski");
    EXPECT_FALSE(files.renameFile("c:\\a.zip", "c:\\a.zip.bozuk"));
    EXPECT_EQ(test::readFile(c / "a.zip"), "yeni");
    EXPECT_EQ(test::readFile(c / "a.zip.bozuk"), "eski");
    EXPECT_TRUE(files.renameFile("c:\\a.zip", "c:\\a.zip.1.bozuk"));
    EXPECT_FALSE(fs::exists(c / "a.zip"));
    EXPECT_EQ(test::readFile(c / "a.zip.1.bozuk"), "yeni");
}

TEST_F(FileSystemTest, LeftoversOfAnInterruptedReplaceAreRemovedAndNothingElse) {
    fs::create_directories(drives.drive('c') / "real");
    fs::create_symlink("real/s.ini", drives.drive('c') / "s.ini");
    const fs::path real = drives.drive('c') / "real";
    for (const char* name : {"s.ini", "s.ini.a1B2c3", "s.ini.ZZZZZZ", "s.ini.bak", "s.ini.abcdefg",
                             "s.ini.ab-def", "t.ini.a1B2c3"})
        test::writeFile(real / name, "x");
    files.removeReplaceLeftovers("c:\\s.ini");
    std::set<std::string> left;
    for (auto& e : fs::directory_iterator(real)) left.insert(e.path().filename().string());
    EXPECT_EQ(left,
              (std::set<std::string>{"s.ini", "s.ini.bak", "s.ini.abcdefg", "s.ini.ab-def", "t.ini.a1B2c3"}));
}

}  // namespace
}  // namespace zel
