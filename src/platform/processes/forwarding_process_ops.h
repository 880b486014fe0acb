#pragma once

#include "platform/processes/process.h"

namespace zel {

// Process primitives that pass everything but the wait on to another set: the base of the waits
// that keep a window's events flowing.
class ForwardingProcessOps : public ProcessOps {
public:
    explicit ForwardingProcessOps(ProcessOps& native) : native_(native) {}

    std::uint32_t start(const std::string& commandLine, int windowStyle) override {
        return native_.start(commandLine, windowStyle);
    }
    std::uint32_t startIn(const std::string& commandLine, int windowStyle, const std::string& folder) override {
        return native_.startIn(commandLine, windowStyle, folder);
    }
    std::optional<ProcessHandle> open(std::uint32_t processId) override { return native_.open(processId); }
    std::optional<int> exitCode(ProcessHandle handle) override { return native_.exitCode(handle); }
    void close(ProcessHandle handle) override { native_.close(handle); }
    bool kill(ProcessHandle handle) override { return native_.kill(handle); }
    std::uint32_t startCommand(const std::string& commandLine, const Environment& environment,
                               std::shared_ptr<CommandOutput> output) override {
        return native_.startCommand(commandLine, environment, std::move(output));
    }

protected:
    ProcessOps& native_;
};

}  // namespace zel
