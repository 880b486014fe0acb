#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/inflater.h"
#include "platform/file_system.h"

namespace zel {

// What reading an archive back found.
struct ArchiveCheck {
    bool whole = false;
    std::string problem;             // why it is not whole, in Turkish: "veri/x.db CRC hatası"
    std::vector<std::string> files;  // the file entries' names (UTF-8, "/" between parts)
};

// Reads a zip archive back as an unzip would: the end of the central directory (Zip64 too),
// every central entry against its local header, and every entry's data inflated or read, its
// CRC-32 and size compared. Only stored and deflated entries can be checked; others fail.
// Whatever inflates, an entry fails only when zlib too finds it broken, and for zlib's reason.
ArchiveCheck checkArchive(FileReader& archive, Inflation inflation = Inflation::Fast);

}  // namespace zel
