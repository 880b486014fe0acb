#pragma once

#include "platform/process.h"

namespace zel {

// Process primitives whose wait slice keeps the window's messages flowing: within the slice each
// message is handled as it arrives. The slice still lasts its full time unless the process ends,
// so the runner's accounting is unchanged.
class MessageWaitProcessOps final : public ProcessOps {
public:
    explicit MessageWaitProcessOps(ProcessOps& native) : native_(native) {}

    std::uint32_t start(const std::string& commandLine, int windowStyle) override {
        return native_.start(commandLine, windowStyle);
    }
    std::optional<ProcessHandle> open(std::uint32_t processId) override { return native_.open(processId); }
    int wait(ProcessHandle handle, int timeoutMs) override;
    std::optional<int> exitCode(ProcessHandle handle) override { return native_.exitCode(handle); }
    void close(ProcessHandle handle) override { native_.close(handle); }

private:
    ProcessOps& native_;
};

// Handles every message waiting for this thread at this moment, once.
void pumpWaitingMessages();

}  // namespace zel
