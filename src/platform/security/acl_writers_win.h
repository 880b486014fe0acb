#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zel {

// Who other than SYSTEM, the Administrators, TrustedInstaller and `serviceAccount` may change an
// object with this security descriptor: its owner when it is none of them, else the trustee of the
// first grant that writes, deletes, or changes the access list or the owner, as a SID string
// ("herkes" for no access list at all). Empty when nobody may. Grants that only pass down to what
// the object holds (inherit-only) are not the object's own; a deny is no grant.
std::string aclWriters(PSECURITY_DESCRIPTOR descriptor, PSID serviceAccount);

// The owner of an object with this security descriptor as a SID string when it is none of SYSTEM,
// the Administrators, TrustedInstaller and `serviceAccount` ("?" when it cannot be read); empty
// for a trusted owner.
std::string untrustedOwner(PSECURITY_DESCRIPTOR descriptor, PSID serviceAccount);

// The user this process runs as, from its token (a TOKEN_USER); empty when it cannot be read.
std::vector<BYTE> processUser();
inline PSID processUserSid(const std::vector<BYTE>& user) {
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

// A SID as text ("S-1-5-18"); "?" when it cannot be written.
std::string sidText(PSID sid);

}  // namespace zel
