#include "platform/security/program_trust.h"

#include <algorithm>

namespace zel {

std::string untrustedWritersOf(const std::vector<PlaceMode>& places, const std::vector<std::uint32_t>& trusted) {
    constexpr std::uint32_t kGroupWrite = 0020, kOtherWrite = 0002, kSticky = 01000;
    auto isTrusted = [&](std::uint32_t uid) { return std::find(trusted.begin(), trusted.end(), uid) != trusted.end(); };
    for (std::size_t i = 0; i < places.size(); ++i) {
        const PlaceMode& p = places[i];
        if (!isTrusted(p.owner)) return p.path + ": kullanıcı " + std::to_string(p.owner);
        const bool shielded = (p.mode & kSticky) && i + 1 < places.size() && isTrusted(places[i + 1].owner);
        if (shielded) continue;
        if (p.mode & kOtherWrite) return p.path + ": herkes";
        if (p.mode & kGroupWrite) return p.path + ": grup " + std::to_string(p.group);
    }
    return {};
}

}  // namespace zel
