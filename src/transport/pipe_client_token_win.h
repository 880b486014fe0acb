#pragma once

#include <windows.h>

#include <cstdint>

#include "transport/local_channel.h"

namespace zel {

// Whether `groups` holds `group` enabled: a group kept only for denying (the Administrators of an
// administrator's token that was not elevated) or one switched off counts for nothing.
bool holdsEnabledGroup(const TOKEN_GROUPS& groups, PSID group);

// Who the client of a connected pipe instance is, from its own token: the user's SID as text and
// whether it holds the Administrators enabled. Where the token cannot be read the client is an
// unnamed watcher ("?" and its process id), so that a failure never grants anything.
PeerIdentity pipeClientIdentity(HANDLE pipe, std::int64_t pid);

}  // namespace zel
