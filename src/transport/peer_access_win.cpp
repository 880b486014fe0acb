#include "transport/local_channel.h"

namespace zel {

PeerAccess peerAccess(const PeerIdentity& peer) {
    // The pipe's access list already refused anyone else before the service saw them; the token
    // the channel read decides the rest.
    return peer.administrator ? PeerAccess::Manager : PeerAccess::Watcher;
}

}  // namespace zel
