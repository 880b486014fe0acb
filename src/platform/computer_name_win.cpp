#include <windows.h>

#include "platform/computer_name.h"

namespace zel {

std::string GetComputerName() {
    char buffer[256] = {};
    DWORD size = 255;
    GetComputerNameA(buffer, &size);  // the size handed back is not needed: the text ends at its NUL
    return std::string(buffer);
}

}  // namespace zel
