#include "engine/backup_rules.h"

#include <cctype>

#include "engine/date_text.h"
#include "engine/folder_text.h"
#include "text/utf8.h"

namespace zel {
std::string toolPrefix(std::string_view firstSource) {
    return utf8Prefix(firstSource, 3);
}

std::string zipToolPath(std::string_view prefix) {
    return std::string(prefix) + std::string(kZipToolTail);
}

std::string zipStorePath(std::string_view prefix) {
    return std::string(prefix) + std::string(kZipStoreTail);
}

std::string archiveBase(std::string_view target) {
    auto pos = target.rfind('\\');
    return std::string(pos == std::string_view::npos ? target : target.substr(pos + 1));
}

std::string archiveName(std::string_view target, const LocalDateTime& now) {
    return archiveBase(target) + std::to_string(now.year) + twoDigits(now.month) + twoDigits(now.day) + "." +
           twoDigits(now.hour) + twoDigits(now.minute) + ".zip";
}

std::string archivePath(std::string_view target, std::string_view name) {
    return std::string(target) + "\\" + std::string(name);
}

std::optional<std::string> commandPiece(std::string_view piece) {
    if (!isFolderText(piece)) return std::nullopt;
    if (piece.find(' ') == std::string_view::npos) return std::string(piece);
    // Backslashes right before the closing quote are doubled, or Windows reads "c:\eski yedek\"
    // as ending in a literal quote.
    std::size_t trailing = 0;
    while (trailing < piece.size() && piece[piece.size() - 1 - trailing] == '\\') ++trailing;
    return "\"" + std::string(piece) + std::string(trailing, '\\') + "\"";
}

std::optional<std::string> zipCommandLine(std::string_view tool, std::string_view target, std::string_view name,
                                          std::string_view source, std::string_view workFolder) {
    const std::optional<std::string> t = commandPiece(tool), a = commandPiece(archivePath(target, name)),
                                     s = commandPiece(source), w = commandPiece(workFolder);
    if (!t || !a || !s || (!workFolder.empty() && !w)) return std::nullopt;
    return *t + " " + *a + " -r " + *s + (workFolder.empty() ? "" : " -b " + *w);
}

std::string lastBackupText(std::string_view dateText, std::string_view timeText) {
    return std::string(kLastBackupHeading) + "\r\n" + std::string(dateText) + " " + std::string(timeText) +
           "   ";
}

namespace {

std::string folderKey(std::string_view folder, bool ignoreCase = true) {
    std::string key;
    for (char c : folder) {
        const auto u = static_cast<unsigned char>(c);
        key += c == '/' ? '\\' : (ignoreCase && u < 0x80 ? static_cast<char>(std::tolower(u)) : c);
    }
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

}  // namespace

bool sameFolder(std::string_view a, std::string_view b, bool ignoreCase) {
    return folderKey(a, ignoreCase) == folderKey(b, ignoreCase);
}

bool targetInsideSource(std::string_view source, std::string_view target) {
    if (source.empty() || target.empty()) return false;
    const std::string s = folderKey(source), t = folderKey(target);
    return t == s || t.starts_with(s + "\\");
}

}  // namespace zel
