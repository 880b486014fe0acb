#include "platform/security/password_vault.h"

namespace zel {

std::optional<std::string> protectPassword(std::string_view password, PasswordScope) {
    return std::string(password);
}

std::optional<std::string> revealPassword(std::string_view stored) {
    if (stored.substr(0, kProtectedPrefix.size()) == kProtectedPrefix) return std::nullopt;
    return std::string(stored);
}

}  // namespace zel
