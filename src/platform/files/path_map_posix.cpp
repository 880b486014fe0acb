#include "platform/files/path_map.h"

namespace zel {

std::string PathMap::native(std::string_view text) const {
    return mapToDrivesFolder(text, drivesRoot_);
}

ZipNaming nativeZipNaming() {
    return ZipNaming::Posix;
}

}  // namespace zel
