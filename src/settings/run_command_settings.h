#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/shadow_copy.h"

namespace zel {

// What runs around a backup run: a command before its first pair and one after its last zip, each
// a program written with its whole path and its arguments; empty: none.
struct RunCommandSettings {
    std::string before;
    std::string after;
    ShadowCopyMode shadowCopy = ShadowCopyMode::Auto;
    bool operator==(const RunCommandSettings&) const = default;
};

// The file's words: "otomatik", "hayir", "zorunlu".
std::string_view shadowCopyModeText(ShadowCopyMode mode);
std::optional<ShadowCopyMode> shadowCopyModeFrom(std::string_view text);

}  // namespace zel
