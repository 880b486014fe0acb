#include "platform/peer_access.h"

#include <algorithm>

namespace zel {

bool peerAllowed(std::uint32_t serviceUid, const PeerIdentity& peer,
                 std::optional<std::uint32_t> serviceGroup, const std::vector<std::uint32_t>& peerGroups) {
    if (peer.uid == serviceUid || peer.uid == 0) return true;
    if (!serviceGroup) return false;
    // The process's own group counts too: it may run with a group its user's entry does not list.
    return peer.gid == *serviceGroup ||
           std::find(peerGroups.begin(), peerGroups.end(), *serviceGroup) != peerGroups.end();
}

}  // namespace zel
