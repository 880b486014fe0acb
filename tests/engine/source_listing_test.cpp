#include "engine/source_listing.h"

#include <gtest/gtest.h>

#include <map>

namespace zel {
namespace {

TEST(ZipEntryPrefix, IsTheFolderTextWithoutDriveAndSeparatorsAtItsEnds) {
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\brevund", "brevund"},
        {"c:\\brevund\\belgeler\\", "brevund/belgeler"},
        {"c:\\", ""},
        {"C:", ""},
        {"d:\\eski yedek\\", "eski yedek"},
        {"/home/zel/veri/", "home/zel/veri"},
        {"./veri", "veri"},
        {".", ""},
    };
    for (const auto& [source, prefix] : cases) EXPECT_EQ(zipEntryPrefix(source), prefix) << source;
}

// Folders by their texts; a folder missing from the map cannot be listed.
struct ScriptedFolders final : FileSystem {
    std::map<std::string, std::vector<FolderItem>> folders;
    std::optional<std::vector<FolderItem>> listFolder(const std::string& path) override {
        auto it = folders.find(path);
        if (it == folders.end()) return std::nullopt;
        return it->second;
    }
    bool createFolder(const std::string&) override { return false; }
    bool folderExists(const std::string&) override { return false; }
    bool copyFile(const std::string&, const std::string&) override { return false; }
    bool attributesReadable(const std::string&) override { return false; }
    std::optional<std::uint64_t> fileSize(const std::string&) override { return std::nullopt; }
    bool appendRotating(const std::string&, const std::string&, std::uint64_t) override { return false; }
    std::optional<std::string> readCreatingIfMissing(const std::string&) override { return std::nullopt; }
    WriteResult replaceContent(const std::string&, const std::string&) override { return {"yazılamaz"}; }
    void removeReplaceLeftovers(const std::string&) override {}
    std::unique_ptr<FileReader> openForReading(const std::string&) override { return nullptr; }
};

using Kind = FolderItem::Kind;

TEST(SourceListing, NamesFilesAsZipDoesAndCountsWhatZipLeavesOut) {
    ScriptedFolders fs;
    fs.folders["c:\\brevund\\"] = {{"a.txt", Kind::File, false},     {"alt", Kind::Folder, false},
                                   {"kilitli", Kind::Folder, false}, {"pagefile.sys", Kind::File, true},
                                   {"gizli", Kind::Folder, true},    {"boru", Kind::Other, false}};
    fs.folders["c:\\brevund\\alt"] = {{"b.txt", Kind::File, false}};
    const SourceListing listing = listSource(fs, "c:\\brevund\\");
    ASSERT_EQ(listing.files.size(), 2u);
    EXPECT_EQ(listing.files[0].entry, "brevund/a.txt");
    EXPECT_EQ(listing.files[0].path, "c:\\brevund\\a.txt");
    EXPECT_EQ(listing.files[1].entry, "brevund/alt/b.txt");
    EXPECT_EQ(listing.files[1].path, "c:\\brevund\\alt\\b.txt");
    EXPECT_EQ(listing.unreadableFolders, std::vector<std::string>{"brevund/kilitli"});
    EXPECT_EQ(listing.leftOutByZip, 2u);  // the hidden folder counts once; it is not entered

    // A drive root that cannot be listed is named by its text.
    EXPECT_EQ(listSource(fs, "d:\\").unreadableFolders, std::vector<std::string>{"d:\\"});
}

TEST(SourceListing, MissingFilesAreTheOnesStillThere) {
    SourceListing listing;
    listing.files = {{"b/1", "c:\\b\\1"}, {"b/2", "c:\\b\\2"}, {"b/3", "c:\\b\\3"}, {"b/4", "c:\\b\\4"}};
    const Completeness gaps = compareWithArchive(listing, {"b/1", "b/extra"},
                                                 [](const std::string& path) { return path != "c:\\b\\3"; });
    EXPECT_EQ(gaps.missing, (std::vector<std::string>{"b/2", "b/4"}));
    EXPECT_EQ(gaps.vanished, std::vector<std::string>{"b/3"});
}

}  // namespace
}  // namespace zel
