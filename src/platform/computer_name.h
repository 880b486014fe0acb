#pragma once

#include <string>

namespace zel {

// The computer's name as the operating system reports it.
std::string GetComputerName();

}  // namespace zel
