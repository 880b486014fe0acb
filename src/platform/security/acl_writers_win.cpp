#include "platform/security/acl_writers_win.h"

#include <sddl.h>

namespace zel {
namespace {

// Every right that changes the file or folder itself, or what it holds, or who may do so.
constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                                     WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

bool wellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    return CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

bool isTrustedInstaller(PSID sid) {
    // NT SERVICE\TrustedInstaller: the service SID that Windows derives from the service's name.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID installer = nullptr;
    if (!AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649, 1831038044,
                                  1850343474, 463590774, 0, 0, &installer))
        return false;
    const bool same = EqualSid(sid, installer) != FALSE;
    FreeSid(installer);
    return same;
}

bool trusted(PSID sid, PSID serviceAccount) {
    return wellKnown(sid, WinLocalSystemSid) || wellKnown(sid, WinBuiltinAdministratorsSid) ||
           isTrustedInstaller(sid) || (serviceAccount && EqualSid(sid, serviceAccount));
}

// Placeholders that match no token: their grants only take shape when they are inherited, and
// OWNER RIGHTS speaks for the owner, who is judged on their own.
bool placeholder(PSID sid) {
    return wellKnown(sid, WinCreatorOwnerSid) || wellKnown(sid, WinCreatorGroupSid) ||
           wellKnown(sid, WinCreatorOwnerRightsSid);
}

// The trustee of an allowing ACE and the rights it grants; null for an ACE that allows nothing.
PSID grantee(const ACE_HEADER* header, ACCESS_MASK& mask) {
    switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
            const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
            mask = ace->Mask;
            return const_cast<DWORD*>(&ace->SidStart);
        }
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
            // The SID follows whichever of the two GUIDs the flags say are there.
            const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header);
            mask = ace->Mask;
            const BYTE* sid = reinterpret_cast<const BYTE*>(&ace->ObjectType);
            if (ace->Flags & ACE_OBJECT_TYPE_PRESENT) sid += sizeof(GUID);
            if (ace->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) sid += sizeof(GUID);
            return reinterpret_cast<PSID>(const_cast<BYTE*>(sid));
        }
        default:
            return nullptr;
    }
}

}  // namespace

std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return "?";
    std::string out;
    for (const wchar_t* c = text; *c; ++c) out += static_cast<char>(*c);  // "S-", digits and dashes only
    LocalFree(text);
    return out;
}

std::vector<BYTE> processUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::vector<BYTE> user(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size))
        user.clear();
    CloseHandle(token);
    return user;
}

std::string untrustedOwner(PSECURITY_DESCRIPTOR descriptor, PSID serviceAccount) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner || !IsValidSid(owner))
        return "?";  // an owner nobody can name may be anyone
    return trusted(owner, serviceAccount) ? std::string() : sidText(owner);
}

std::string aclWriters(PSECURITY_DESCRIPTOR descriptor, PSID serviceAccount) {
    if (!descriptor) return "?";
    if (std::string owner = untrustedOwner(descriptor, serviceAccount); !owner.empty()) return owner;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return "?";
    if (!present || !dacl) return "herkes";  // no access list: everyone may do everything
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return "?";
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        ACCESS_MASK mask = 0;
        PSID sid = grantee(header, mask);
        if (!sid || !(mask & kWriteRights)) continue;
        if (!IsValidSid(sid)) return "?";
        if (placeholder(sid) || trusted(sid, serviceAccount)) continue;
        return sidText(sid);
    }
    return {};
}

}  // namespace zel
