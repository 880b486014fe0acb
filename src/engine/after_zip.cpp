#include "engine/after_zip.h"

namespace zel {

std::unordered_map<std::string, FileStamp> stampsNow(FileSystem& files, const SourceListing& listing) {
    std::vector<std::string> paths;
    paths.reserve(listing.files.size());
    for (const SourceListing::File& file : listing.files)
        if (file.stamp) paths.push_back(file.path);
    const std::vector<std::optional<FileStamp>> stamps = files.fileStamps(paths);
    std::unordered_map<std::string, FileStamp> now;
    now.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size() && i < stamps.size(); ++i)
        if (stamps[i]) now.emplace(paths[i], *stamps[i]);
    return now;
}

AfterZip checkAfterZip(FileSystem& files, const std::string& archivePath, const std::vector<EarlyCheck>& early,
                       const SourceListing* lookAgain) {
    AfterZip after;
    std::unique_ptr<FileReader> archive = files.openForReading(archivePath);
    after.check = archive ? checkArchive(*archive, Inflation::Fast, early) : ArchiveCheck{false, "okunamadı", {}, {}};
    if (lookAgain && after.check.whole) after.stampsNow = stampsNow(files, *lookAgain);
    return after;
}

}  // namespace zel
