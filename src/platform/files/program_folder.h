#pragma once

#include <string>

namespace zel {

// The folder of the running executable, in the system's own form ("C:\Program Files\ZEL" on
// Windows, "/opt/zel" on Linux), without a trailing separator.
std::string executableFolder();

}  // namespace zel
