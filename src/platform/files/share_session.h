#pragma once

#include <functional>
#include <memory>
#include <string>

namespace zel {

// A connection to a Windows share under a user of its own, for as long as the object lives; the
// service (LocalSystem) has no identity a share of a workgroup knows.
class ShareSession {
public:
    virtual ~ShareSession() = default;
};

// Connects to `share` ("\\server\share") as `user`; nullptr, with the system's reason, when it cannot.
std::unique_ptr<ShareSession> connectShare(const std::string& share, const std::string& user,
                                           const std::string& password, std::string& failure);
using ShareLogon = std::function<decltype(connectShare)>;

}  // namespace zel
