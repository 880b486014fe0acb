#include <windows.h>
#include <wincrypt.h>

#include "platform/security/password_vault.h"
#include "text/base64.h"

namespace zel {
namespace {

DATA_BLOB blobOf(std::string_view bytes) {
    return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

// Mixed into every blob, so that no other program's plain CryptUnprotectData call reveals the password
// of a machine-wide blob. It is in the exe for anyone who may read it, and so it is no secret: what
// keeps other users out is the settings file's access list.
constexpr char kEntropy[] = "ZEL Yedek: e-posta parolası";

DATA_BLOB entropy() {
    return blobOf(std::string_view(kEntropy, sizeof kEntropy - 1));
}

std::string takeBlob(DATA_BLOB& blob) {
    std::string bytes(reinterpret_cast<const char*>(blob.pbData), blob.cbData);
    SecureZeroMemory(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
    return bytes;
}

}  // namespace

std::optional<std::string> protectPassword(std::string_view password, PasswordScope scope) {
    DATA_BLOB in = blobOf(password);
    DATA_BLOB out{};
    const DWORD flags = CRYPTPROTECT_UI_FORBIDDEN | (scope == PasswordScope::Machine ? CRYPTPROTECT_LOCAL_MACHINE : 0);
    DATA_BLOB salt = entropy();
    if (!CryptProtectData(&in, L"ZEL Yedek", &salt, nullptr, nullptr, flags, &out)) return std::nullopt;
    return std::string(kProtectedPrefix) + base64(takeBlob(out));
}

std::optional<std::string> revealPassword(std::string_view stored) {
    if (stored.substr(0, kProtectedPrefix.size()) != kProtectedPrefix) return std::string(stored);
    const std::optional<std::string> blob = fromBase64(stored.substr(kProtectedPrefix.size()));
    if (!blob || blob->empty()) return std::nullopt;
    DATA_BLOB in = blobOf(*blob);
    DATA_BLOB out{};
    DATA_BLOB salt = entropy();
    // Older versions stored their blobs without the entropy. Such a blob is kept as it is until a
    // password is typed again, so that a save with the box left empty keeps the file's bytes.
    for (DATA_BLOB* tried : {&salt, static_cast<DATA_BLOB*>(nullptr)})
        if (CryptUnprotectData(&in, nullptr, tried, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
            return takeBlob(out);
    return std::nullopt;
}

}  // namespace zel
