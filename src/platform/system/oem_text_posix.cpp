#include "platform/system/oem_text.h"

#include "text/utf8.h"

namespace zel {

std::string zipStoredNameToUtf8(std::string_view stored) {
    return std::string(stored);
}

std::string consoleTextToUtf8(std::string_view text) {
    return validUtf8(text);
}

}  // namespace zel
