#include "engine/after_zip.h"

namespace zel {

AfterZip checkAfterZip(FileSystem& files, const std::string& archivePath, const std::vector<EarlyCheck>& early,
                       const SourceListing* lookAgain) {
    AfterZip after;
    std::unique_ptr<FileReader> archive = files.openForReading(archivePath);
    after.check = archive ? checkArchive(*archive, Inflation::Fast, early) : ArchiveCheck{false, "okunamadı", {}, {}};
    if (!lookAgain || !after.check.whole) return after;
    std::vector<std::string> paths;
    paths.reserve(lookAgain->files.size());
    for (const SourceListing::File& file : lookAgain->files)
        if (file.stamp) paths.push_back(file.path);
    const std::vector<std::optional<FileStamp>> stamps = files.fileStamps(paths);
    after.stampsNow.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size() && i < stamps.size(); ++i)
        if (stamps[i]) after.stampsNow.emplace(paths[i], *stamps[i]);
    return after;
}

}  // namespace zel
