#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/archive_check.h"
#include "engine/source_listing.h"
#include "platform/files/file_system.h"

namespace zel {

// What a pair learns once zip has ended: its archive read back and, for a source read live, each
// listed file looked at again (by path; a file gone or no longer a file has none).
struct AfterZip {
    ArchiveCheck check;
    std::unordered_map<std::string, FileStamp> stampsNow;
};

// Each listed file as it stands now, by path: one gone or no longer a file has none.
std::unordered_map<std::string, FileStamp> stampsNow(FileSystem& files, const SourceListing& listing);

// The archive's read-back and then, with `lookAgain` and an archive that reads back whole, a look at
// every file the listing holds.
AfterZip checkAfterZip(FileSystem& files, const std::string& archivePath, const std::vector<EarlyCheck>& early,
                       const SourceListing* lookAgain);

}  // namespace zel
