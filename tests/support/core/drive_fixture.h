#pragma once

#include <filesystem>
#include <string>

#include "support/core/temp_dir.h"

namespace zel::test {

// Temporary drives: <tmp>/drives/<letter> stands for drive <letter>.
struct TempDrives {
    TempDir tmp;
    std::filesystem::path root() const { return tmp / "drives"; }
    std::filesystem::path drive(char letter) const { return root() / std::string(1, letter); }
    // Puts Info-ZIP's zip where a run looks for its stored copy: <drive>\brevund\tarvel\bat\zip.ex_.
    void installZip(char letter = 'c') const;
    std::filesystem::path zipExe(char letter = 'c') const {
        return drive(letter) / "brevund" / "tarvel" / "bat" / "zip.exe";
    }
};

// Lists the entries of an archive with the real unzip; empty when it cannot be read.
std::string unzipList(const std::filesystem::path& archive);

}  // namespace zel::test
