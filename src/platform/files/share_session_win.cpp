#include <windows.h>
#include <winnetwk.h>

#include "platform/files/share_session.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

class WinShareSession final : public ShareSession {
public:
    explicit WinShareSession(std::wstring share) : share_(std::move(share)) {}
    // Only this connection is dropped: one the system had before stays.
    ~WinShareSession() override { WNetCancelConnection2W(share_.c_str(), 0, TRUE); }

private:
    std::wstring share_;
};

// "\\server\share" of a longer path: the part a connection is made to.
std::wstring shareOf(const std::string& path) {
    std::size_t at = path.find('\\', 2);
    if (at != std::string::npos) at = path.find('\\', at + 1);
    return widen(path.substr(0, at));
}

}  // namespace

std::unique_ptr<ShareSession> connectShare(const std::string& share, const std::string& user,
                                           const std::string& password, std::string& failure) {
    std::wstring remote = shareOf(share);
    const std::wstring name = widen(user), secret = widen(password);
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpRemoteName = remote.data();
    const DWORD result = WNetAddConnection2W(&resource, secret.c_str(), name.c_str(), 0);
    if (result != NO_ERROR) {
        failure = systemMessage(result) + " (" + std::to_string(result) + ")";
        return nullptr;
    }
    return std::make_unique<WinShareSession>(std::move(remote));
}

}  // namespace zel
