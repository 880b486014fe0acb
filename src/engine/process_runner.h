#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes/process.h"

namespace zel {

// Results of runAndWait.
enum RunResult : std::int32_t {
    kRunEnded = 0,          // the process ended (also when the wait itself failed)
    kRunError = 1,          // not started, not opened, or an error while waiting
    kRunLimitExceeded = 2,  // the wait limit was exceeded; the process runs on
    kRunInvalid = 3,        // an argument is invalid; nothing started
    kRunBroken = 5,         // user interrupt with break mode 1
    kRunUserStopped = 6,    // user interrupt with break mode 2, answered No
};

// What the runner needs of the window while it waits.
struct RunnerHooks {
    // Handles every window event pending at this moment, once.
    std::function<void()> processEvents;
    // True once when the user has raised an interrupt since the last call.
    std::function<bool()> takeInterrupt;
    // The yes/no question of break mode 2; true for Yes.
    std::function<bool(std::string_view text)> askContinue;
};

inline constexpr std::string_view kBreakQuestion = "User Process Break.\r\nContinue to wait?";
inline constexpr int kWaitSliceMs = 500;
// How long a command's output is waited for once the command has ended.
inline constexpr std::chrono::milliseconds kOutputWaitAtEnd{2000};

// Starts a command line and waits for it in 500 ms slices while the window keeps working.
// Keeps no state between calls but the processes it waits for now, so a call nested inside
// another one's event processing is sound.
class ProcessRunner {
public:
    ProcessRunner(ProcessOps& ops, RunnerHooks hooks) : ops_(ops), hooks_(std::move(hooks)) {}

    std::int32_t runAndWait(std::string_view commandLine, std::int32_t maxWaitMs, std::int32_t windowStyle,
                            std::int32_t breakMode) const {
        return run(commandLine, maxWaitMs, windowStyle, breakMode).result;
    }

    // The same, keeping the started program's exit code for the caller.
    struct Outcome {
        std::int32_t result = kRunEnded;
        std::optional<int> exitCode;  // when the process was seen to end
    };
    // `folder`: where the program starts (empty: where this program is).
    Outcome run(std::string_view commandLine, std::int32_t maxWaitMs, std::int32_t windowStyle,
                std::int32_t breakMode, const std::string& folder = {}) const;

    // A run's command before or after: started without a window, with `environment` added and its
    // output collected. One still running after `limitMs` is ended with everything it started
    // (kRunLimitExceeded); kRunError when it could not be started.
    struct CommandOutcome {
        std::int32_t result = kRunEnded;
        std::optional<int> exitCode;
        std::string output;
    };
    CommandOutcome runCommand(std::string_view commandLine, const Environment& environment, std::int32_t limitMs) const;

    // At the program's end, from inside a wait's events: ends every process waited for now, with
    // what it started. False when there was none, or one could not be ended.
    bool endWaited() const;

private:
    // Waits for an opened process in slices, with the hooks, and closes it.
    Outcome waitFor(ProcessHandle handle, std::int32_t limit, std::int32_t breakMode, bool endAtLimit) const;

    ProcessOps& ops_;
    RunnerHooks hooks_;
    mutable std::vector<ProcessHandle> waited_;  // innermost last
};

// Argument checks in their fixed order; true when the call may start the program.
bool runArgumentsValid(std::string_view commandLine, std::int32_t maxWaitMs, std::int32_t windowStyle,
                       std::int32_t breakMode);

}  // namespace zel
