#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel {

// Base64 (RFC 4648) on one line.
std::string base64(std::string_view bytes);
// The bytes of a base64 text; line breaks are skipped. Nothing for any other character, or
// padding in the middle.
std::optional<std::string> fromBase64(std::string_view text);

}  // namespace zel
