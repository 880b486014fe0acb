#pragma once

#include <string>

#include "platform/files/program_folder.h"

namespace zel::test {

// A file beside the test program, as a Windows command-line word.
inline std::string besideTests(const std::string& name) {
    return executableFolder() + "\\" + name;
}

}  // namespace zel::test
