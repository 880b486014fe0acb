#include "engine/process_runner.h"

#include <limits>
#include <memory>
#include <string>

namespace zel {
namespace {

bool onlySpaces(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

bool runArgumentsValid(std::string_view commandLine, std::int32_t maxWaitMs, std::int32_t windowStyle,
                       std::int32_t breakMode) {
    if (onlySpaces(commandLine)) return false;
    if (maxWaitMs < 0) return false;
    if (breakMode < 0 || breakMode > 2) return false;
    if (windowStyle < 0 || (windowStyle > 4 && windowStyle != 6)) return false;
    return true;
}

ProcessRunner::Outcome ProcessRunner::run(std::string_view commandLine, std::int32_t maxWaitMs,
                                          std::int32_t windowStyle, std::int32_t breakMode,
                                          const std::string& folder) const {
    if (!runArgumentsValid(commandLine, maxWaitMs, windowStyle, breakMode)) return {kRunInvalid, {}};
    const std::int32_t limit = (maxWaitMs == 0) ? -1 : maxWaitMs;

    std::uint32_t pid = 0;
    try {
        pid = folder.empty() ? ops_.start(std::string(commandLine), windowStyle)
                             : ops_.startIn(std::string(commandLine), windowStyle, folder);
    } catch (...) {
        return {kRunError, {}};
    }
    if (pid == 0) return {kRunError, {}};
    std::optional<ProcessHandle> opened;
    try {
        opened = ops_.open(pid);
    } catch (...) {
        return {kRunError, {}};
    }
    if (!opened) return {kRunError, {}};
    return waitFor(*opened, limit, breakMode, false);
}

ProcessRunner::Outcome ProcessRunner::waitFor(ProcessHandle handle, std::int32_t limit, std::int32_t breakMode,
                                              bool endAtLimit) const {
    std::int32_t result = kRunEnded;
    std::optional<int> exitCode;
    std::int32_t elapsed = 0;
    bool closed = false;
    waited_.push_back(handle);
    auto closeHandle = [&] {
        if (!closed) {
            std::erase(waited_, handle);
            ops_.close(handle);
        }
        closed = true;
    };

    // One wait slice, with the user interrupt handled as the break mode says. Returns the
    // slice's outcome, or nothing when the call must return `result` at once.
    auto waitSlice = [&]() -> std::optional<int> {
        for (;;) {
            int outcome = ops_.wait(handle, kWaitSliceMs);
            if (!hooks_.takeInterrupt || !hooks_.takeInterrupt()) return outcome;
            switch (breakMode) {
                case 0:
                    continue;  // forget the interrupt and wait again
                case 1:
                    result = kRunBroken;
                    return std::nullopt;
                default:
                    if (hooks_.askContinue && hooks_.askContinue(kBreakQuestion)) return outcome;
                    result = kRunUserStopped;
                    return std::nullopt;
            }
        }
    };

    try {
        std::optional<int> outcome = waitSlice();
        while (outcome && *outcome != kWaitEnded) {
            if (hooks_.processEvents) hooks_.processEvents();
            if (*outcome == kWaitFailed) {
                result = kRunEnded;
                break;
            }
            if (*outcome == kWaitTimeout) {
                if (elapsed > std::numeric_limits<std::int32_t>::max() - kWaitSliceMs) {
                    result = kRunError;  // the elapsed count would overflow: the error path
                    break;
                }
                elapsed += kWaitSliceMs;
                if (limit > 0 && elapsed > limit) {
                    result = kRunLimitExceeded;
                    break;
                }
            }
            outcome = waitSlice();
        }
        if (outcome && *outcome == kWaitEnded) exitCode = ops_.exitCode(handle);
    } catch (...) {
        result = kRunError;
    }
    // A command past its limit must not hold the run, nor anything it started.
    if (endAtLimit && result == kRunLimitExceeded) ops_.kill(handle);
    closeHandle();
    return {result, exitCode};
}

ProcessRunner::CommandOutcome ProcessRunner::runCommand(std::string_view commandLine, const Environment& environment,
                                                       std::int32_t limitMs) const {
    if (onlySpaces(commandLine) || limitMs <= 0) return {kRunInvalid, {}, {}};
    auto output = std::make_shared<CommandOutput>();
    std::optional<ProcessHandle> opened;
    try {
        const std::uint32_t pid = ops_.startCommand(std::string(commandLine), environment, output);
        if (pid != 0) opened = ops_.open(pid);
    } catch (...) {
    }
    if (!opened) return {kRunError, {}, {}};
    const Outcome ended = waitFor(*opened, limitMs, 0, true);
    // What it left running may hold the output open: that is not waited for long.
    output->waitClosed(kOutputWaitAtEnd);
    return {ended.result, ended.exitCode, output->text()};
}

bool ProcessRunner::endWaited() const {
    bool ended = !waited_.empty();
    for (const ProcessHandle handle : waited_) ended = ops_.kill(handle) && ended;
    return ended;
}

}  // namespace zel
