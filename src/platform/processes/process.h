#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/files/path_map.h"

namespace zel {

using ProcessHandle = std::intptr_t;

// Outcomes of one wait on a process handle, as Win32's WaitForSingleObject gives them.
inline constexpr int kWaitEnded = 0;
inline constexpr int kWaitTimeout = 258;
inline constexpr int kWaitFailed = -1;

// The primitives the process runner is built from. The runner owns the order in which they are
// called; tests replace them to reach outcomes that real processes give only after weeks.
class ProcessOps {
public:
    virtual ~ProcessOps() = default;
    // Starts a command line with a window style; returns the process id, 0 when nothing started.
    virtual std::uint32_t start(const std::string& commandLine, int windowStyle) = 0;
    // Opens the started process for waiting only; nothing when it cannot be opened.
    virtual std::optional<ProcessHandle> open(std::uint32_t processId) = 0;
    // Waits at most timeoutMs for the process to end: kWaitEnded, kWaitTimeout or kWaitFailed.
    virtual int wait(ProcessHandle handle, int timeoutMs) = 0;
    // The exit code of a process that has ended; nothing when it cannot be had.
    virtual std::optional<int> exitCode(ProcessHandle handle) = 0;
    virtual void close(ProcessHandle handle) = 0;
    // Ends an opened process and every process it started, at once, at the program's end; false
    // where that cannot be done.
    virtual bool kill(ProcessHandle /*handle*/) { return false; }
};

// The operating system's processes. Command-line words that name a drive go through the path map.
std::unique_ptr<ProcessOps> makeNativeProcessOps(PathMap paths);

}  // namespace zel
