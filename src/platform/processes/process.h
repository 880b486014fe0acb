#pragma once

#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files/path_map.h"

namespace zel {

using ProcessHandle = std::intptr_t;

// Outcomes of one wait on a process handle, as Win32's WaitForSingleObject gives them.
inline constexpr int kWaitEnded = 0;
inline constexpr int kWaitTimeout = 258;
inline constexpr int kWaitFailed = -1;

// Variables a command gets on top of the program's own environment, replacing any of the same name.
using Environment = std::vector<std::pair<std::string, std::string>>;

// A command's output (standard output and error together) as it arrives. Past `keep` bytes it is
// read and dropped, so that a command that talks without end never blocks on a full pipe.
class CommandOutput {
public:
    explicit CommandOutput(std::size_t keep = 64 * 1024) : keep_(keep) {}
    void add(std::string_view data);
    // Every writer has closed its end.
    void close();
    // False when a writer still holds its end after `most` (a server the command left running).
    bool waitClosed(std::chrono::milliseconds most);
    std::string text() const;

private:
    const std::size_t keep_;
    mutable std::mutex mutex_;
    std::condition_variable closedChanged_;
    std::string text_;
    bool closed_ = false;
};

// The primitives the process runner is built from. The runner owns the order in which they are
// called; tests replace them to reach outcomes that real processes give only after weeks.
class ProcessOps {
public:
    virtual ~ProcessOps() = default;
    // Starts a command line with a window style; returns the process id, 0 when nothing started.
    virtual std::uint32_t start(const std::string& commandLine, int windowStyle) = 0;
    // The same, started in `folder` (a folder text; empty: where this program is). One that
    // cannot start a program elsewhere starts nothing.
    virtual std::uint32_t startIn(const std::string& commandLine, int windowStyle, const std::string& folder) {
        return folder.empty() ? start(commandLine, windowStyle) : 0;
    }
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
    // Starts a command without a window, with `environment` added and its output into `output`;
    // as start, 0 when nothing started.
    virtual std::uint32_t startCommand(const std::string& /*commandLine*/, const Environment& /*environment*/,
                                       std::shared_ptr<CommandOutput> /*output*/) {
        return 0;
    }
};

// The operating system's processes. Command-line words that name a drive go through the path map.
std::unique_ptr<ProcessOps> makeNativeProcessOps(PathMap paths);

}  // namespace zel
