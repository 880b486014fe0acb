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
    // The folder text the program is given for a place on a drive: "c:\rel" where drive letters
    // map to the temporary drives, the temporary folder itself in Windows form where they do not.
    std::string text(char letter, const std::string& rel = "") const;
    // Puts Info-ZIP's zip where a run looks for its stored copy: <drive>\brevund\tarvel\bat\zip.ex_.
    void installZip(char letter = 'c') const;
    // A stand-in for c:\progress\openedge\bin\proshut.bat: appends its arguments, one call a
    // line, to calls.log beside it, after sleeping as many seconds as the file "slow" there says.
    void installShutdownTool() const;
    std::filesystem::path shutdownToolDir() const { return drive('c') / "progress" / "openedge" / "bin"; }
    std::string shutdownCalls() const;
    std::filesystem::path zipExe(char letter = 'c') const {
        return drive(letter) / "brevund" / "tarvel" / "bat" / "zip.exe";
    }
};

// Where a run looks for the stored zip program on a drive folder: brevund\tarvel\bat\zip.ex_.
std::filesystem::path zipStoreOn(const std::filesystem::path& driveFolder);
// Puts Info-ZIP's zip there.
void putZip(const std::filesystem::path& driveFolder);
// Puts a shell script there instead, for runs that must take their time or be counted.
void putZipStandIn(const std::filesystem::path& driveFolder, const std::string& shellBody);

// Lists the entries of an archive with the real unzip; empty when it cannot be read.
std::string unzipList(const std::filesystem::path& archive);

}  // namespace zel::test
