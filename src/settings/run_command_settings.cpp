#include "settings/run_command_settings.h"

#include "settings/settings_format.h"

namespace zel {

std::string_view shadowCopyModeText(ShadowCopyMode mode) {
    switch (mode) {
        case ShadowCopyMode::Off: return "hayir";
        case ShadowCopyMode::Required: return "zorunlu";
        case ShadowCopyMode::Auto: break;
    }
    return "otomatik";
}

std::optional<ShadowCopyMode> shadowCopyModeFrom(std::string_view text) {
    for (const ShadowCopyMode m : {ShadowCopyMode::Auto, ShadowCopyMode::Off, ShadowCopyMode::Required})
        if (equalsIgnoringCase(text, shadowCopyModeText(m))) return m;
    return std::nullopt;
}

}  // namespace zel
