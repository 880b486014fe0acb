#include "platform/security/password_vault.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include "text/base64.h"

namespace zel {
namespace {

std::string blobOf(const std::string& stored) {
    return fromBase64(std::string_view(stored).substr(kProtectedPrefix.size())).value_or("");
}

TEST(PasswordVault, EachScopeGivesBackWhatItProtected) {
    // An empty password is never stored by the program (an empty box keeps the stored one), but
    // DPAPI takes it, and it must not come back as another text.
    for (const PasswordScope scope : {PasswordScope::User, PasswordScope::Machine}) {
        for (const std::string password : {"Parola.123", "şİığüöçĞÜŞÖÇ €", ""}) {
            const std::optional<std::string> stored = protectPassword(password, scope);
            ASSERT_TRUE(stored.has_value()) << password;
            EXPECT_TRUE(stored->starts_with("dpapi:")) << *stored;
            if (!password.empty()) {
                EXPECT_EQ(stored->find(password), std::string::npos);
            }
            EXPECT_FALSE(blobOf(*stored).empty()) << *stored;
            EXPECT_EQ(revealPassword(*stored), password) << static_cast<int>(scope);
        }
    }
}

DATA_BLOB dataOf(const std::string& bytes) {
    return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

// DPAPI's own calls without entropy, as any other program makes them: what they give, nothing on failure.
std::optional<std::string> plainCall(bool protect, const std::string& bytes, DWORD flags = 0) {
    DATA_BLOB in = dataOf(bytes);
    DATA_BLOB out{};
    flags |= CRYPTPROTECT_UI_FORBIDDEN;
    if (!(protect ? CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, flags, &out)
                  : CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, flags, &out)))
        return std::nullopt;
    std::string result(reinterpret_cast<const char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return result;
}

// The program's blob is no password for another program's plain call, machine-wide or not; a blob
// an older version stored without the program's entropy is still read.
TEST(PasswordVault, ANewBlobNeedsTheProgramsEntropyAndAnOlderOneIsStillRead) {
    for (const PasswordScope scope : {PasswordScope::User, PasswordScope::Machine}) {
        const std::optional<std::string> stored = protectPassword("gizli", scope);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(plainCall(false, blobOf(*stored)), std::nullopt) << static_cast<int>(scope);
        const std::optional<std::string> older =
            plainCall(true, "eski parola", scope == PasswordScope::Machine ? CRYPTPROTECT_LOCAL_MACHINE : 0);
        ASSERT_TRUE(older.has_value());
        EXPECT_EQ(revealPassword("dpapi:" + base64(*older)), "eski parola") << static_cast<int>(scope);
    }
}

TEST(PasswordVault, TheSamePasswordIsStoredDifferentlyEachTime) {
    const std::optional<std::string> first = protectPassword("gizli", PasswordScope::User);
    const std::optional<std::string> second = protectPassword("gizli", PasswordScope::User);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
}

TEST(PasswordVault, ADamagedOrCutBlobRevealsNothing) {
    const std::optional<std::string> stored = protectPassword("gizli", PasswordScope::User);
    ASSERT_TRUE(stored.has_value());
    const std::string blob = blobOf(*stored);
    ASSERT_GT(blob.size(), 40u);
    // The last bytes are the blob's signature, those before them the cipher text.
    for (const std::size_t at : {blob.size() - 1, blob.size() - 30}) {
        std::string damaged = blob;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        EXPECT_EQ(revealPassword("dpapi:" + base64(damaged)), std::nullopt) << at;
    }
    EXPECT_EQ(revealPassword("dpapi:" + base64(blob.substr(0, blob.size() - 10))), std::nullopt);
    EXPECT_EQ(revealPassword("dpapi:" + base64("no blob at all")), std::nullopt);
}

TEST(PasswordVault, BadBase64OrNoBlobRevealsNothing) {
    EXPECT_EQ(revealPassword("dpapi:@@@@"), std::nullopt);
    EXPECT_EQ(revealPassword("dpapi:QUJD=RA=="), std::nullopt);  // padding in the middle
    EXPECT_EQ(revealPassword("dpapi:"), std::nullopt);
}

TEST(PasswordVault, ATextWithoutThePrefixIsThePasswordItself) {
    EXPECT_EQ(revealPassword("elle yazılmış"), "elle yazılmış");
    EXPECT_EQ(revealPassword(""), "");
    // The prefix counts only at the start and in small letters.
    EXPECT_EQ(revealPassword(" dpapi:QUJD"), " dpapi:QUJD");
    EXPECT_EQ(revealPassword("DPAPI:QUJD"), "DPAPI:QUJD");
}

}  // namespace
}  // namespace zel
