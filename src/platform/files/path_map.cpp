#include "platform/files/path_map.h"

#include <cctype>

namespace zel {

bool startsWithDrive(std::string_view text) {
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

std::string mapToDrivesFolder(std::string_view text, std::string_view drivesRoot) {
    std::string out;
    std::string_view rest = text;
    if (startsWithDrive(text)) {
        out.append(drivesRoot);
        out += '/';
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        rest = text.substr(2);
        // "c:" and "c:x" both mean a place on drive c; keep exactly one separator after the drive.
        if (!rest.empty() && rest.front() != '\\' && rest.front() != '/') {
            out += '/';
        }
    }
    for (char c : rest) {
        out += (c == '\\') ? '/' : c;
    }
    return out;
}

}  // namespace zel
