#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system/local_time.h"

namespace zel {

inline constexpr std::string_view kZipToolTail = "brevund\\tarvel\\bat\\zip.exe";
inline constexpr std::string_view kZipStoreTail = "brevund\\tarvel\\bat\\zip.ex_";
inline constexpr std::string_view kLastBackupHeading = "Son Yedekleme Tarihi: ";

// The first three characters of the first source folder: the drive of the tool paths.
std::string toolPrefix(std::string_view firstSource);

std::string zipToolPath(std::string_view prefix);   // prefix + brevund\tarvel\bat\zip.exe
std::string zipStorePath(std::string_view prefix);  // prefix + brevund\tarvel\bat\zip.ex_

// The target text after its last backslash (all of it without one, empty when it ends in one).
std::string archiveBase(std::string_view target);

// base + yyyyMMdd + "." + HHmm + ".zip", e.g. tarvel-yedek20240305.0907.zip.
std::string archiveName(std::string_view target, const LocalDateTime& now);

// target + "\" + name: where the zip program is told to write the archive.
std::string archivePath(std::string_view target, std::string_view name);

// A command-line piece as it goes into the line: enclosed in double quotes when it holds a space,
// so a folder such as "c:\eski yedek" stays one argument, with the backslashes before the closing
// quote doubled as Windows' argument rules want them. Nothing for a piece that is no folder text
// (isFolderText): no quoting keeps a quote or a line end from splitting the line.
std::optional<std::string> commandPiece(std::string_view piece);

// "<tool> <target>\<name> -r <source>", the tool being a program's path, then " -b <work>" when
// zip's work file goes to a folder of its own; nothing when a piece is refused.
std::optional<std::string> zipCommandLine(std::string_view tool, std::string_view target, std::string_view name,
                                          std::string_view source, std::string_view workFolder = {});

// True when two folder texts name the same folder as the file system compares names: trailing
// separators and the separators' kind never count, letter case only where names ignore it
// (Windows).
bool sameFolder(std::string_view a, std::string_view b, bool ignoreCase);

// True when the target folder is the source folder or lies inside it, so that every archive
// would hold the older ones (letter case and the separators' kind do not count, as on Windows).
bool targetInsideSource(std::string_view source, std::string_view target);

// "Son Yedekleme Tarihi: " CR LF date " " time "   ".
std::string lastBackupText(std::string_view dateText, std::string_view timeText);

}  // namespace zel
