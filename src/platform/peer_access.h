#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/local_channel.h"

namespace zel {

// Whether a peer may use the service, from facts the caller looked up: the service's own user,
// kServiceGroup's id (nothing when the group does not exist) and every group the peer's user is
// in. The service's own user and root always may; others only as members of the group.
bool peerAllowed(std::uint32_t serviceUid, const PeerIdentity& peer,
                 std::optional<std::uint32_t> serviceGroup, const std::vector<std::uint32_t>& peerGroups);

}  // namespace zel
