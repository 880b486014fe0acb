#include "platform/security/private_access_win.h"

#include <sddl.h>

#include <string>
#include <vector>

#include "platform/security/acl_writers_win.h"

namespace zel {
namespace {

std::wstring privateAccessSddl(std::wstring_view rights, std::wstring_view aceFlags, std::wstring_view user) {
    const std::wstring grant = L"(A;" + std::wstring(aceFlags) + L";" + std::wstring(rights) + L";;;";
    std::wstring sddl = L"D:P" + grant + L"SY)" + grant + L"BA)";
    if (user != L"S-1-5-18") sddl += grant + std::wstring(user) + L")";
    return sddl;
}

// The user this process runs as, a SID as text; empty when its token cannot be read.
std::wstring processUserText() {
    const std::vector<BYTE> user = processUser();
    LPWSTR text = nullptr;
    if (user.empty() || !ConvertSidToStringSidW(processUserSid(user), &text)) return {};
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

}  // namespace

PrivateAccess::PrivateAccess(std::wstring_view rights, std::wstring_view aceFlags) {
    const std::wstring user = processUserText();
    if (user.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            privateAccessSddl(rights, aceFlags, user).c_str(), SDDL_REVISION_1, &descriptor_, nullptr))
        descriptor_ = nullptr;
    attributes_ = {sizeof attributes_, descriptor_, FALSE};
}

PrivateAccess::~PrivateAccess() {
    if (descriptor_) LocalFree(descriptor_);
}

}  // namespace zel
