#pragma once

#include "platform/processes/forwarding_process_ops.h"

namespace zel {

// Process primitives whose wait slice keeps the window's messages flowing: within the slice each
// message is handled as it arrives. The slice still lasts its full time unless the process ends,
// so the runner's accounting is unchanged.
class MessageWaitProcessOps final : public ForwardingProcessOps {
public:
    using ForwardingProcessOps::ForwardingProcessOps;
    int wait(ProcessHandle handle, int timeoutMs) override;
};

// Handles every message waiting for this thread at this moment, once.
void pumpWaitingMessages();

}  // namespace zel
