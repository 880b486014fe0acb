#include "platform/system/oem_text.h"

namespace zel {

std::string zipStoredNameToUtf8(std::string_view stored) {
    return std::string(stored);
}

}  // namespace zel
