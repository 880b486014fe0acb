#pragma once

#include <string>

// windows.h maps this name onto its A and W functions; here it is the program's own.
#ifdef GetComputerName
#undef GetComputerName
#endif

namespace zel {

// The computer's name as the operating system reports it.
std::string GetComputerName();

}  // namespace zel
