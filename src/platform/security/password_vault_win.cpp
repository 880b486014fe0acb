#include <windows.h>
#include <wincrypt.h>

#include "platform/security/password_vault.h"
#include "text/base64.h"

namespace zel {
namespace {

DATA_BLOB blobOf(std::string_view bytes) {
    return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
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
    if (!CryptProtectData(&in, L"ZEL Yedek", nullptr, nullptr, nullptr, flags, &out)) return std::nullopt;
    return std::string(kProtectedPrefix) + base64(takeBlob(out));
}

std::optional<std::string> revealPassword(std::string_view stored) {
    if (stored.substr(0, kProtectedPrefix.size()) != kProtectedPrefix) return std::string(stored);
    const std::optional<std::string> blob = fromBase64(stored.substr(kProtectedPrefix.size()));
    if (!blob || blob->empty()) return std::nullopt;
    DATA_BLOB in = blobOf(*blob);
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return std::nullopt;
    return takeBlob(out);
}

}  // namespace zel
