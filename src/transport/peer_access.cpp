#include "transport/peer_access.h"

#include <algorithm>

namespace zel {

PeerAccess peerAccessFrom(std::uint32_t serviceUid, const PeerIdentity& peer,
                          std::optional<std::uint32_t> watchGroup, std::optional<std::uint32_t> manageGroup,
                          const std::vector<std::uint32_t>& peerGroups) {
    if (peer.uid == serviceUid || peer.uid == 0) return PeerAccess::Manager;
    // The process's own group counts too: it may run with a group its user's entry does not list.
    auto in = [&](std::optional<std::uint32_t> group) {
        return group && (peer.gid == *group ||
                         std::find(peerGroups.begin(), peerGroups.end(), *group) != peerGroups.end());
    };
    if (in(manageGroup)) return PeerAccess::Manager;
    return in(watchGroup) ? PeerAccess::Watcher : PeerAccess::Refused;
}

}  // namespace zel
