#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/path_map.h"

namespace zel {

// Splits a command line into words at spaces; double quotes group a word and are removed.
// Backslashes are ordinary characters, as in the folder texts the program builds.
std::vector<std::string> splitCommandWords(std::string_view commandLine);

// The words of a command line ready for exec: the program and every word that names a drive
// are turned into native paths.
std::vector<std::string> nativeCommandWords(std::string_view commandLine, const PathMap& paths);

}  // namespace zel
