#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "transport/local_channel.h"

namespace zel {

// What a peer may do, from facts the caller looked up: the service's own user, the ids of
// kServiceGroup and kManagerGroup (nothing for a group that does not exist) and every group the
// peer's user is in. The service's own user and root always manage.
PeerAccess peerAccessFrom(std::uint32_t serviceUid, const PeerIdentity& peer,
                          std::optional<std::uint32_t> watchGroup, std::optional<std::uint32_t> manageGroup,
                          const std::vector<std::uint32_t>& peerGroups);

}  // namespace zel
