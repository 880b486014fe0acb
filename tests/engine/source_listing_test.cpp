#include "engine/source_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

// After zip: what the archive lacks is missing or vanished, and what it holds but was written
// meanwhile (size, times or the archived size against the listing's) is changed.
TEST(SourceListing, TheArchiveIsComparedWithTheListingAndTheFilesNow) {
    const FileStamp listed{10, 100, 200};
    SourceListing listing;
    const struct {
        const char* name;
        std::optional<FileStamp> now;
        std::optional<std::uint64_t> archivedSize;  // nothing: not in the archive
        const char* found;                          // "missing", "vanished", "changed" or ""
    } cases[] = {
        {"ayni", listed, 10, ""},
        {"buyudu", FileStamp{11, 100, 200}, 10, "changed"},
        {"yazildi", FileStamp{10, 101, 200}, 10, "changed"},
        {"izni-degisti", FileStamp{10, 100, 201}, 10, "changed"},
        {"okunurken-buyudu", listed, 12, "changed"},
        {"sonra-silindi", std::nullopt, 10, ""},
        {"okunamadi", listed, std::nullopt, "missing"},
        {"once-silindi", std::nullopt, std::nullopt, "vanished"},
    };
    std::vector<std::string> archived;
    std::vector<std::uint64_t> sizes;
    std::map<std::string, std::optional<FileStamp>> now;
    for (const auto& c : cases) {
        listing.files.push_back({std::string("k/") + c.name, std::string("c:\\k\\") + c.name, listed});
        now[listing.files.back().path] = c.now;
        if (c.archivedSize) archived.push_back(listing.files.back().entry), sizes.push_back(*c.archivedSize);
    }
    const auto stillThere = [&](const std::string& path) { return now.at(path).has_value(); };
    const Completeness result = compareWithArchive(listing, archived, sizes, stillThere,
                                                   [&](const std::string& path) { return now.at(path); });
    // What each file is found to be: "missing", "vanished", "changed" or "".
    const auto found = [&](const std::string& name) {
        const std::string entry = "k/" + name, path = "c:\\k\\" + name;
        const auto in = [](const std::vector<std::string>& v, const std::string& s) {
            return std::find(v.begin(), v.end(), s) != v.end();
        };
        return in(result.missing, entry) ? "missing" : in(result.vanished, path) ? "vanished" : in(result.changed, path) ? "changed" : "";
    };
    for (const auto& c : cases) EXPECT_STREQ(found(c.name), c.found) << c.name;
    // Without the files' stamps now (a snapshot cannot change), nothing is changed.
    EXPECT_TRUE(compareWithArchive(listing, archived, sizes, stillThere).changed.empty());
}

// A listing stops at its limits and when asked to, with why; within them it lists as ever.
TEST(SourceListing, ALimitOrAStopEndsItWithItsReason) {
    ScriptedFolders fs;
    fs.folders["c:\\v"] = {{"a", Kind::File, false}, {"alt", Kind::Folder, false}};
    fs.folders["c:\\v\\alt"] = {{"b", Kind::File, false}, {"c", Kind::File, false}};
    struct Case {
        ListingLimits limits;
        const char* problem;
    };
    const Case cases[] = {
        {{}, ""},
        {{4, std::chrono::seconds(3600), {}}, ""},
        {{3, std::chrono::seconds(3600), {}}, "kaynakta 3 öğeden fazlası var"},
        {{10, std::chrono::seconds(-1), {}}, "kaynak 0 dakikada listelenemedi"},
        {{10, std::chrono::seconds(3600), [] { return true; }}, "kaynak listelenirken durduruldu"},
    };
    for (const Case& c : cases) {
        const SourceListing listing = listSource(fs, "c:\\v", c.limits);
        EXPECT_EQ(listing.problem, c.problem);
        if (*c.problem == '\0') EXPECT_EQ(listing.files.size(), 3u);
    }
}

}  // namespace
}  // namespace zel
