#include "platform/local_channel.h"

namespace zel {

bool peerMayConnect(const PeerIdentity&) {
    // The pipe's access list (kChannelPipeAccess) already refused anyone else before the service saw them.
    return true;
}

}  // namespace zel
