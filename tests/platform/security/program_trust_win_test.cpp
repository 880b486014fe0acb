#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/security/acl_writers_win.h"
#include "platform/security/program_trust.h"
#include "platform/system/wide_text_win.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

constexpr const char* kServiceAccount = "S-1-5-21-1-2-3-1001";
#define TRUSTED_INSTALLER "S-1-5-80-956008885-3418522649-1831038044-1850343474-463590774"

std::string writersOf(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(widen(sddl).c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return "SDDL okunamadı";
    PSID account = nullptr;
    ConvertStringSidToSidW(widen(kServiceAccount).c_str(), &account);
    const std::string who = aclWriters(descriptor, account);
    LocalFree(account);
    LocalFree(descriptor);
    return who;
}

TEST(AclWriters, OnlySystemAdministratorsTrustedInstallerAndTheServiceMayChangeAPlace) {
    const struct {
        const char* what;
        const char* sddl;
        const char* who;
    } cases[] = {
        // Windows' own C:\: Authenticated Users may add folders to the root itself.
        {"the default root of C:",
         "O:SYG:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;"
         ";;AU)",
         "S-1-5-11"},
        {"Program Files",
         "O:" TRUSTED_INSTALLER "G:" TRUSTED_INSTALLER "D:PAI(A;;FA;;;" TRUSTED_INSTALLER
         ")(A;CIIO;GA;;;" TRUSTED_INSTALLER
         ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
         "(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)",
         ""},
        {"Users may write data", "O:BAD:(A;;FA;;;SY)(A;;0x2;;;BU)", "S-1-5-32-545"},
        {"Users may append", "O:BAD:(A;;FA;;;SY)(A;;0x4;;;BU)", "S-1-5-32-545"},
        {"Users may delete what the folder holds", "O:BAD:(A;;0x40;;;BU)", "S-1-5-32-545"},
        {"Users may delete it", "O:BAD:(A;;SD;;;BU)", "S-1-5-32-545"},
        {"Everyone may change its access list", "O:BAD:(A;;0x1200a9;;;BU)(A;;WD;;;WD)", "S-1-1-0"},
        {"Authenticated Users may take it", "O:BAD:(A;;WO;;;AU)", "S-1-5-11"},
        {"Users generic write", "O:BAD:(A;;GW;;;BU)", "S-1-5-32-545"},
        {"Users generic all", "O:BAD:(A;;GA;;;BU)", "S-1-5-32-545"},
        {"Users maximum allowed", "O:BAD:(A;;0x2000000;;;BU)", "S-1-5-32-545"},
        {"a user owns it", "O:S-1-5-21-1-2-3-1002D:(A;;FA;;;SY)", "S-1-5-21-1-2-3-1002"},
        {"no access list at all", "O:BA", "herkes"},
        {"an empty access list", "O:SYD:", ""},
        {"Users may write only what the folder will hold", "O:BAD:(A;OICIIO;FA;;;BU)(A;;0x1200a9;;;BU)", ""},
        {"a deny is no grant", "O:BAD:(D;;FA;;;BU)(A;;FA;;;SY)", ""},
        {"CREATOR OWNER matches nobody", "O:BAD:(A;OICI;FA;;;CO)", ""},
        {"the service's account", "O:S-1-5-21-1-2-3-1001D:(A;;FA;;;S-1-5-21-1-2-3-1001)", ""},
        {"Users read and run", "O:SYD:(A;;0x1200a9;;;BU)(A;;FA;;;BA)", ""},
        {"the first writer is named", "O:BAD:(A;;FA;;;SY)(A;;0x2;;;S-1-5-21-1-2-3-1003)(A;;FA;;;BU)",
         "S-1-5-21-1-2-3-1003"},
    };
    for (const auto& c : cases) EXPECT_EQ(writersOf(c.sddl), c.who) << c.what;
}

// Gives everyone every right to `place`, on it alone (nothing for what it holds).
void openToEveryone(const std::wstring& place) {
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1,
                                                                     &open, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(open, &present, &dacl, &defaulted);
    EXPECT_EQ(SetNamedSecurityInfoW(const_cast<LPWSTR>(place.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(open);
}

// What follows the place's last separator in a who-text.
std::string lastPart(const std::string& who) {
    return who.substr(who.rfind('\\') + 1);
}

TEST(ProgramTrust, TheFirstPlaceOthersMayChangeIsNamedFromTheRootDown) {
    test::TempDir tmp;
    std::filesystem::create_directories(tmp / "bin");
    const std::wstring folder = (tmp / "bin").wstring(), file = (tmp / "bin" / "proshut.bat").wstring();
    test::writeFile(file, "@echo x");
    // The test's own files belong to the account it runs as, which it trusts as the service does.
    ASSERT_EQ(untrustedWriters(narrow(file)), "");
    // A program that is not there cannot be run.
    EXPECT_EQ(lastPart(untrustedWriters(narrow((tmp / "bin" / "yok" / "p.bat").wstring()))), "yok: bulunamadı");
    openToEveryone(file);
    EXPECT_EQ(lastPart(untrustedWriters(narrow(file))), "proshut.bat: S-1-1-0");
    openToEveryone(folder);
    EXPECT_EQ(lastPart(untrustedWriters(narrow(file))), "bin: S-1-1-0");
    EXPECT_EQ(lastPart(untrustedWriters(narrow((tmp / "bin" / "yok" / "p.bat").wstring()))), "bin: S-1-1-0");
}

}  // namespace
}  // namespace zel
