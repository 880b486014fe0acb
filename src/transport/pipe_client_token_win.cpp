#include "transport/pipe_client_token_win.h"

#include <string>
#include <vector>

#include "platform/security/acl_writers_win.h"

namespace zel {
namespace {

std::vector<BYTE> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS what) {
    DWORD size = 0;
    GetTokenInformation(token, what, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!GetTokenInformation(token, what, data.data(), size, &size)) return {};
    return data;
}

// The client's token as this thread sees it while it stands in for the client. The client opens
// the pipe for identification only: the token can be read but never acted with. Its context is
// taken when it opens the pipe (static tracking), so nothing needs to have been read yet.
HANDLE clientToken(HANDLE pipe) {
    if (!ImpersonateNamedPipeClient(pipe)) return nullptr;
    HANDLE token = nullptr;
    // As itself: an identification token could not open its own token object as the client.
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) token = nullptr;
    // The channel's thread must never go on as anyone but the service.
    if (!RevertToSelf()) ExitProcess(ERROR_CANNOT_IMPERSONATE);
    return token;
}

}  // namespace

bool holdsEnabledGroup(const TOKEN_GROUPS& groups, PSID group) {
    for (DWORD i = 0; i < groups.GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& g = groups.Groups[i];
        if (!g.Sid || !EqualSid(g.Sid, group)) continue;
        if ((g.Attributes & SE_GROUP_ENABLED) && !(g.Attributes & SE_GROUP_USE_FOR_DENY_ONLY)) return true;
    }
    return false;
}

PeerIdentity pipeClientIdentity(HANDLE pipe, std::int64_t pid) {
    PeerIdentity peer{0, 0, pid, "?" + std::to_string(pid), false};
    HANDLE token = clientToken(pipe);
    if (!token) return peer;
    const std::vector<BYTE> user = tokenInformation(token, TokenUser);
    const std::vector<BYTE> groups = tokenInformation(token, TokenGroups);
    CloseHandle(token);
    if (user.empty() || groups.empty()) return peer;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)) return peer;
    const std::string sid = sidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
    if (sid == "?") return peer;
    peer.user = sid;
    peer.administrator =
        holdsEnabledGroup(*reinterpret_cast<const TOKEN_GROUPS*>(groups.data()), administrators);
    return peer;
}

}  // namespace zel
