#include "engine/source_listing.h"

#include <gtest/gtest.h>

#include <map>

#include "support/core/no_files.h"

namespace zel {
namespace {

TEST(ZipEntryPrefix, IsTheFolderTextWithoutDriveAndSeparatorsAtItsEnds) {
    struct Case {
        const char* source;
        const char* posix;
        const char* windows;  // Info-ZIP on Windows also drops a UNC path's host and share
    };
    const Case cases[] = {{"c:\\brevund\\belgeler\\", "brevund/belgeler", "brevund/belgeler"},
                          {"C:\\", "", ""},
                          {"/home/zel/", "home/zel", "home/zel"},
                          {"./veri", "veri", "veri"},
                          {"\\\\sunucu\\paylaşım\\muhasebe", "sunucu/paylaşım/muhasebe", "muhasebe"},
                          {"//sunucu/paylaşım/muhasebe/yıl/", "sunucu/paylaşım/muhasebe/yıl", "muhasebe/yıl"},
                          {"\\\\sunucu\\paylaşım", "sunucu/paylaşım", ""},
                          {"\\\\?\\c:\\brevund", "?/c:/brevund", "brevund"}};
    for (const Case& c : cases) {
        EXPECT_EQ(zipEntryPrefix(c.source, ZipNaming::Posix), c.posix) << c.source;
        EXPECT_EQ(zipEntryPrefix(c.source, ZipNaming::Windows), c.windows) << c.source;
    }
}

// Folders by their texts; a folder missing from the map cannot be listed.
struct ScriptedFolders final : test::NoFiles {
    std::map<std::string, std::vector<FolderItem>> folders;
    std::optional<std::vector<FolderItem>> listFolder(const std::string& path) override {
        auto it = folders.find(path);
        if (it == folders.end()) return std::nullopt;
        return it->second;
    }
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

}  // namespace
}  // namespace zel
