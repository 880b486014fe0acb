#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "channel/protocol.h"
#include "service/window_client.h"

namespace zel {

// Exit codes of `--yedekle`, and of `--durum` when no service answers (its own are the status's).
inline constexpr int kShellOk = 0;
inline constexpr int kShellNotRecorded = 1;
inline constexpr int kShellNoService = 3;

// The exit code that the service's last message gives: a run's 0 (recorded) or 1; a status's 0, 1
// or 2 (ok, warnings held, a failure), anything else counting as no answer.
int doneExitCode(ClientRole role, const std::string& field);

// Where a shell command's text goes: a line at a time, with its line end.
using ShellWriter = std::function<void(std::string_view text)>;

// `--durum` (ClientRole::Status) or `--yedekle` (ClientRole::Run) against the service: each line
// the service sends is written to `out` as it comes; what went wrong goes to `err`. Returns the
// service's exit code, or kShellNoService when no service answers (or it refuses this user).
// A status that has not come within `statusLimit` counts as no answer; a run may take as long
// as it takes.
int runShellCommand(ClientRole role, const std::string& version, const ChannelConnector& connect,
                    const ShellWriter& out, const ShellWriter& err,
                    std::chrono::milliseconds statusLimit = std::chrono::seconds(20));

}  // namespace zel
