#include <unistd.h>

#include "platform/system/computer_name.h"

namespace zel {

std::string GetComputerName() {
    char buffer[256] = {};
    if (::gethostname(buffer, 255) != 0) return {};
    return std::string(buffer);  // the part before the first NUL
}

}  // namespace zel
