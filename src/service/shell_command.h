#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "channel/protocol.h"
#include "service/window_client.h"

namespace zel {

// Exit codes of `--durum` and `--yedekle`.
inline constexpr int kShellOk = 0;
inline constexpr int kShellNotRecorded = 1;
inline constexpr int kShellNoService = 3;

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
