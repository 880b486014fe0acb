#include "platform/files/path_map.h"

namespace zel {

// Windows takes the folder texts as the user wrote them.
std::string PathMap::native(std::string_view text) const {
    return std::string(text);
}

ZipNaming nativeZipNaming() {
    return ZipNaming::Windows;
}

}  // namespace zel
