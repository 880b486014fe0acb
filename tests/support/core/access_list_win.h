#pragma once

#include <windows.h>
#include <aclapi.h>

#include <map>
#include <string>
#include <vector>

#include "platform/security/acl_writers_win.h"

namespace zel::test {

inline constexpr const char* kSystemSid = "S-1-5-18";
inline constexpr const char* kAdministratorsSid = "S-1-5-32-544";

// An object's access list as read back: whether it takes nothing from its folder, and what each
// trustee (a SID as text) is granted; a deny grants nothing.
struct AccessList {
    bool isProtected = false;
    std::map<std::string, ACCESS_MASK> grants;
};

inline AccessList accessListOf(HANDLE object, SE_OBJECT_TYPE type) {
    AccessList list;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetSecurityInfo(object, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return list;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    list.isProtected =
        GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i)
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)))
            list.grants[sidText(&ace->SidStart)] |=
                ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? ace->Mask : 0;
    LocalFree(descriptor);
    return list;
}

// The user this test runs as, a SID as text.
inline std::string testUserSid() {
    const std::vector<BYTE> user = processUser();
    return user.empty() ? "?" : sidText(processUserSid(user));
}

}  // namespace zel::test
