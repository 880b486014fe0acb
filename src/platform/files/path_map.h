#pragma once

#include <string>
#include <string_view>

namespace zel {

// Turns a folder text written the Windows way ("c:\tarvel-yedek") into the path the operating
// system takes. On Linux a drive letter maps to <drivesRoot>/<letter>; on Windows it stays as is.
class PathMap {
public:
    explicit PathMap(std::string drivesRoot = {}) : drivesRoot_(std::move(drivesRoot)) {}

    std::string native(std::string_view text) const;
    const std::string& drivesRoot() const { return drivesRoot_; }

private:
    std::string drivesRoot_;
};

// The rules by which a zip program names a folder's entries: Info-ZIP on Windows also leaves out
// a UNC path's host and share.
enum class ZipNaming { Posix, Windows };
// This system's.
ZipNaming nativeZipNaming();

// True when the text starts with a drive letter and a colon ("c:", "D:\x").
bool startsWithDrive(std::string_view text);

// The Linux mapping, kept apart so it can be checked on every system.
std::string mapToDrivesFolder(std::string_view text, std::string_view drivesRoot);

}  // namespace zel
