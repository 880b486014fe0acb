#include "platform/files/share_session.h"

namespace zel {

// A share is mounted on Linux before the program sees it, with its own credentials.
std::unique_ptr<ShareSession> connectShare(const std::string&, const std::string&, const std::string&,
                                           std::string& failure) {
    failure = "Linux'ta paylaşım önceden bağlanmalı (mount)";
    return nullptr;
}

}  // namespace zel
