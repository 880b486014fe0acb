#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel {

// Whether a run reads its sources from a shadow copy: when it can (else live, with a warning),
// never, or only (else those pairs fail).
enum class ShadowCopyMode { Auto, Off, Required };

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
