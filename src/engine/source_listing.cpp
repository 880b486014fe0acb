#include "engine/source_listing.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "platform/files/path_map.h"

namespace zel {
namespace {

// Deeper than any real tree; stops a symbolic link that points back up from looping for ever.
constexpr int kDeepest = 100;

std::string join(const std::string& folder, const std::string& name, char separator) {
    if (folder.empty()) return name;
    if (folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + separator + name;
}

}  // namespace

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// What follows the host and share of a UNC path ("\\sunucu\paylaşım\muhasebe" -> "muhasebe"; also
// "\\?\c:\brevund" -> "brevund"), as Info-ZIP on Windows strips them; nothing for another path.
std::optional<std::string_view> insideUncShare(std::string_view text) {
    if (text.size() < 3 || !isSeparator(text[0]) || !isSeparator(text[1]) || isSeparator(text[2])) return {};
    std::size_t at = 2;
    while (at < text.size() && !isSeparator(text[at])) ++at;  // the host
    if (at == text.size()) return {};                         // no share: zip keeps the host's name
    ++at;
    while (at < text.size() && !isSeparator(text[at])) ++at;  // the share
    return at == text.size() ? std::string_view() : text.substr(at + 1);
}

}  // namespace

std::string zipEntryPrefix(std::string_view source, ZipNaming naming) {
    const std::optional<std::string_view> unc =
        naming == ZipNaming::Windows ? insideUncShare(source) : std::nullopt;
    std::string text(unc ? *unc : startsWithDrive(source) ? source.substr(2) : source);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    for (;;) {
        if (text.starts_with("/"))
            text.erase(0, 1);
        else if (text.starts_with("./"))
            text.erase(0, 2);
        else
            break;
    }
    if (text == ".") text.clear();
    while (text.ends_with("/")) text.pop_back();
    return text;
}

SourceListing listSource(FileSystem& files, const std::string& source, const ListingLimits& limits,
                         const std::string& readFrom) {
    struct Folder {
        std::string entry;
        std::string path;
        int depth;
        std::vector<FolderIdentity> way;  // the folders above it, itself last
    };
    SourceListing listing;
    const auto started = std::chrono::steady_clock::now();
    std::uint64_t seen = 0;
    std::vector<Folder> todo{{zipEntryPrefix(source, nativeZipNaming()), readFrom.empty() ? source : readFrom, 0, {}}};
    while (!todo.empty()) {
        Folder folder = std::move(todo.back());
        todo.pop_back();
        if (limits.stopped && limits.stopped()) {
            listing.problem = "kaynak listelenirken durduruldu";
            return listing;
        }
        if (std::chrono::steady_clock::now() - started > limits.mostTime) {
            listing.problem =
                "kaynak " + std::to_string(limits.mostTime.count() / 60) + " dakikada listelenemedi";
            return listing;
        }
        // A link back to a folder on its own way would be followed for ever, by zip too.
        if (const std::optional<FolderIdentity> id = files.folderIdentity(folder.path)) {
            if (std::find(folder.way.begin(), folder.way.end(), *id) != folder.way.end()) {
                listing.problem = "kaynakta kendi üst klasörüne dönen bir bağlantı var: " + folder.entry;
                return listing;
            }
            folder.way.push_back(*id);
        }
        std::optional<std::vector<FolderItem>> items = files.listFolder(folder.path);
        seen += items ? items->size() : 0;
        if (seen > limits.mostItems) {
            listing.problem = "kaynakta " + std::to_string(limits.mostItems) + " öğeden fazlası var";
            return listing;
        }
        if (!items) {
            listing.unreadableFolders.push_back(folder.entry.empty() ? source : folder.entry);
            continue;
        }
        for (FolderItem& item : *items) {
            if (item.hiddenOrSystem) {
                ++listing.leftOutByZip;
                continue;
            }
            std::string entry = join(folder.entry, item.name, '/');
            std::string path = join(folder.path, item.name, '\\');
            if (item.kind == FolderItem::Kind::File) {
                // A snapshot's files cannot change: they are not looked at again, and need no stamp.
                std::optional<FileStamp> stamp = readFrom.empty() ? files.fileStamp(path) : std::nullopt;
                listing.files.push_back({std::move(entry), std::move(path), stamp});
            } else if (item.kind == FolderItem::Kind::Folder && folder.depth < kDeepest) {
                todo.push_back({std::move(entry), std::move(path), folder.depth + 1, folder.way});
            }
        }
    }
    return listing;
}

Completeness compareWithArchive(const SourceListing& listing, const std::vector<std::string>& archived,
                                const std::vector<std::uint64_t>& archivedSizes,
                                const std::function<bool(const std::string& path)>& stillThere,
                                const std::function<std::optional<FileStamp>(const std::string& path)>& stampNow) {
    std::unordered_map<std::string_view, std::uint64_t> inArchive;
    for (std::size_t i = 0; i < archived.size(); ++i)
        inArchive.emplace(archived[i], i < archivedSizes.size() ? archivedSizes[i] : 0);
    Completeness result;
    for (const SourceListing::File& file : listing.files) {
        const auto archivedFile = inArchive.find(file.entry);
        if (archivedFile == inArchive.end()) {
            if (stillThere(file.path))
                result.missing.push_back(file.entry);
            else
                result.vanished.push_back(file.path);
            continue;
        }
        if (!stampNow || !file.stamp) continue;
        // One deleted after zip read it whole is in the archive as it was: no change of its own.
        const std::optional<FileStamp> now = stampNow(file.path);
        if (now && (*now != *file.stamp || archivedFile->second != file.stamp->size))
            result.changed.push_back(file.path);
    }
    return result;
}

}  // namespace zel
