#pragma once

#include "platform/process.h"

namespace zel {

// Process primitives whose wait slice keeps the window's events flowing: within the slice the
// window handles each event as it arrives instead of once per slice. The slice still ends after
// its full time unless the process ends, so the runner's accounting is unchanged.
class EventWaitProcessOps final : public ProcessOps {
public:
    explicit EventWaitProcessOps(ProcessOps& native) : native_(native) {}

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

}  // namespace zel
