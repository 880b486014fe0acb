#pragma once

#include "platform/processes/forwarding_process_ops.h"

namespace zel {

// Process primitives whose wait slice keeps the window's events flowing: within the slice the
// window handles each event as it arrives instead of once per slice. The slice still ends after
// its full time unless the process ends, so the runner's accounting is unchanged.
class EventWaitProcessOps final : public ForwardingProcessOps {
public:
    using ForwardingProcessOps::ForwardingProcessOps;
    int wait(ProcessHandle handle, int timeoutMs) override;
};

}  // namespace zel
