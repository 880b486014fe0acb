#include "engine/folder_text.h"

#include <cstdio>

#include "platform/files/path_map.h"

namespace zel {

bool isFolderText(std::string_view text) {
    if (text.starts_with('-')) return false;
    const bool windowsPath =
        nativeZipNaming() == ZipNaming::Windows || startsWithDrive(text) || text.starts_with("\\\\");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c < 0x20 || c == 0x7F) return false;
        if (!windowsPath) continue;
        if (c == '<' || c == '>' || c == '|' || c == '?' || c == '*') return false;
        // Only a drive's colon: another one names an NTFS stream or another drive.
        if (c == ':' && !(i == 1 && startsWithDrive(text))) return false;
    }
    return true;
}

std::string withVisibleControls(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            shown += c;
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", u);
        shown += hex;
    }
    return shown;
}

std::string badFolderText(std::string_view text) {
    return "Geçersiz klasör adı: " + withVisibleControls(text);
}

bool isDriveRoot(std::string_view prefix) {
    return prefix.size() == 3 && startsWithDrive(prefix) && prefix[2] == '\\';
}

}  // namespace zel
