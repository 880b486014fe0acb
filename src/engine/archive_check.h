#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/inflater.h"
#include "platform/files/file_system.h"

namespace zel {

// What reading an archive back found.
struct ArchiveCheck {
    bool whole = false;
    std::string problem;             // why it is not whole, in Turkish: "veri/x.db CRC hatası"
    std::vector<std::string> files;  // the file entries' names (UTF-8, "/" between parts)
    std::vector<std::uint64_t> sizes;  // and their sizes, in the same order
};

// An entry read back whole while zip was still writing the archive: where its local header
// begins, how far it reaches with its data, and the CRC-64 of its data followed by its header.
struct EarlyCheck {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint64_t crc64 = 0;
};

// Reads a zip archive back as an unzip would: the end of the central directory (Zip64 too),
// every central entry against its local header, and every entry's data inflated or read, its
// CRC-32 and size compared. Only stored and deflated entries can be checked; others fail.
// Whatever inflates, an entry fails only when zlib too finds it broken, and for zlib's reason.
// An entry in `early` (by offset) whose bytes are still the very bytes checked then is not
// inflated again: its CRC-64 is compared instead.
ArchiveCheck checkArchive(FileReader& archive, Inflation inflation = Inflation::Fast,
                          const std::vector<EarlyCheck>& early = {});

// The names of an archive's entries, from its central directory alone (nothing is inflated);
// nothing when the directory cannot be read.
std::optional<std::vector<std::string>> archiveEntryNames(FileReader& archive);

// Reads back an archive that zip is still writing, entry after entry as zip finishes them (its
// local header is final once the next record follows the data it gives; a large entry's data is
// inflated as it arrives), until `stop` is set or something cannot be followed; in the order of
// their offsets. When `zipEnded` is set by the time `stop` is, the entry zip wrote last, now
// final, gets one last look. Costs a core while zip runs, and spares the check after zip most of
// its work.
std::vector<EarlyCheck> followArchive(FileReader& growing, const std::atomic<bool>& stop,
                                      const std::atomic<bool>* zipEnded = nullptr);

}  // namespace zel
