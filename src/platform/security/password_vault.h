#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel {

// Whose key protects a stored password on Windows: the user's own (the program alone), or the
// machine's (the service, which runs as LocalSystem and must read it with nobody logged on).
enum class PasswordScope { User, Machine };

inline constexpr std::string_view kProtectedPrefix = "dpapi:";

// The form a password is stored in. Windows: "dpapi:" and the base64 of the DPAPI blob; nothing
// when DPAPI fails. Elsewhere the password itself, in a file only its owner may read.
std::optional<std::string> protectPassword(std::string_view password, PasswordScope scope);
// The password of a stored form. A form without "dpapi:" is the password as someone typed it into
// the file. Nothing when it cannot be read here (a blob of another user or machine, or a damaged
// one; on Linux any blob).
std::optional<std::string> revealPassword(std::string_view stored);

}  // namespace zel
