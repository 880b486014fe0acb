#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// What the channel's own thread settles before anything reaches the service's thread, so that a
// flood of connections costs neither the service's time nor its memory.

namespace zel {

// A refused user's connections are told in the run log at most this often.
inline constexpr std::int64_t kRefusalLogSeconds = 60;
inline constexpr std::size_t kMostRefusedUsers = 1000;

// Counts refused connections per user. Thread-safe.
class RefusalTally {
public:
    // The run-log line this refusal is due, if any: the first of a user, then at most one a
    // minute, saying how many came since the last line.
    std::optional<std::string> note(const std::string& user, std::int64_t nowSecond);

private:
    struct Refusals {
        std::optional<std::int64_t> toldAt;
        std::uint64_t since = 0;
    };
    std::mutex mutex_;
    std::map<std::string, Refusals> users_;
};

// The channel's events waiting for the service's thread, bounded in number and bytes: past the
// bound a connection is turned away or cut, never queued. Thread-safe.
inline constexpr std::size_t kMostWaitingEvents = 2048;
inline constexpr std::size_t kMostWaitingBytes = 8 * 1024 * 1024;
class WaitingEvents {
public:
    // Counts an event in; false, counting nothing, when the bound is reached. `always` counts it
    // anyway: the end of a connection must reach the service, and frees what it held.
    bool take(std::size_t bytes, bool always = false);
    bool full();
    // An event has been handled.
    void done(std::size_t bytes);

private:
    std::mutex mutex_;
    std::size_t events_ = 0;
    std::size_t bytes_ = 0;
};

}  // namespace zel
