#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/files/path_map.h"

namespace zel {

// The name zip gives a source folder inside its archive: the folder text without its drive,
// "/" between parts, no leading or trailing separator ("c:\brevund\" -> "brevund", "c:\" -> "").
// By Windows' rules, a UNC path's host and share are left out too ("\\sunucu\paylaşım\x" -> "x").
std::string zipEntryPrefix(std::string_view source, ZipNaming naming);

// A source folder as it stood before zip ran, by zip's own rules: symbolic links followed, dot
// files kept, and on Windows hidden and system items left out (Info-ZIP skips them without -S).
struct SourceListing {
    struct File {
        std::string entry;  // the name zip gives it: "brevund/belgeler/veri.txt"
        std::string path;   // the folder text that reaches it: "c:\brevund\belgeler\veri.txt"
        std::optional<FileStamp> stamp;  // its size and times as listed
    };
    std::vector<File> files;
    std::vector<std::string> unreadableFolders;  // entry names of folders that could not be listed
    std::uint64_t leftOutByZip = 0;              // hidden or system items
    // Why the listing could not be made whole, and zip must not be started: a link back to a folder
    // on its own way (zip would follow it for ever), a limit passed, a stop. Empty when listed.
    std::string problem;
};
// How far a listing may go: a tree beyond these is no folder anybody backs up.
struct ListingLimits {
    std::uint64_t mostItems = 10'000'000;
    std::chrono::seconds mostTime{2 * 3600};
    std::function<bool()> stopped;  // asked once per folder
};
// `readFrom`: where the source's files are read, when not the source itself (a snapshot of its
// volume); the entries keep the source's names, the paths lead there.
SourceListing listSource(FileSystem& files, const std::string& source, const ListingLimits& limits = {},
                         const std::string& readFrom = {});

// Listed files that the archive lacks: missing (entry names) when still there, vanished (paths) when
// gone since. With `stampNow`, archived files whose size or times differ now from the listing's, or
// whose archived size differs from the size listed, are changed (paths): zip read them while they
// were written.
struct Completeness {
    std::vector<std::string> missing;
    std::vector<std::string> vanished;
    std::vector<std::string> changed;
};
Completeness compareWithArchive(const SourceListing& listing, const std::vector<std::string>& archived,
                                const std::vector<std::uint64_t>& archivedSizes,
                                const std::function<bool(const std::string& path)>& stillThere,
                                const std::function<std::optional<FileStamp>(const std::string& path)>& stampNow = {});

}  // namespace zel
