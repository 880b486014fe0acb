#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/files/path_map.h"

namespace zel {

// Splits a command line into words as Windows programs do: at spaces and tabs outside double
// quotes, which group a word and are removed. Backslashes are ordinary characters except right
// before a quote, where each pair stands for one backslash and an odd one makes the quote literal.
std::vector<std::string> splitCommandWords(std::string_view commandLine);

// A command line ready for exec: the program and every word that names a drive become native
// paths. A recursive zip ("-r" then a folder on a drive) names its entries after the folder as
// written, and on Windows that is relative to the drive's root ("brevund/data/..."). So that the
// archive holds the same entries here, the child starts in the drive's folder and is given the
// folder relative to it; the workingFolder is empty when the child starts where the program is.
struct NativeCommand {
    std::vector<std::string> words;
    std::string workingFolder;
};
NativeCommand nativeCommand(std::string_view commandLine, const PathMap& paths);

}  // namespace zel
