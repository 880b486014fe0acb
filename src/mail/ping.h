#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zel {

// A dead man's switch hears when a run starts, and whether it ended well.
enum class PingKind { Start, Success, Failure };

// "<address>/start", "<address>", "<address>/fail"; a '/' ending the address is not doubled.
std::string pingUrl(std::string_view address, PingKind kind);

// The run's lines as a ping's body, one per LF line: the last whole lines that fit in `limit`
// bytes (a failure's reason is at the end).
inline constexpr std::size_t kPingBodyMost = 10 * 1024;
std::string pingBody(const std::vector<std::string>& lines, std::size_t limit = kPingBodyMost);

struct PingSent {
    bool ok = false;
    std::string answer;  // "HTTP 200", or why not
};
// Sends one ping and waits for the outcome: a GET without a body, a POST with one. Gives up soon
// after `abort` turns true. Tests replace it.
using PingSend =
    std::function<PingSent(const std::string& url, const std::string& body, const std::atomic<bool>& abort)>;

// How many times a ping is tried, the pause between two tries, and how many wait at most.
inline constexpr int kPingTries = 3;
inline constexpr std::chrono::milliseconds kPingPause{5000};
inline constexpr std::size_t kPingsQueuedMost = 16;
// What pings still queued or under way get at the program's end.
inline constexpr std::chrono::milliseconds kPingTimeAtEnd{3000};

// Sends pings on a thread of its own, in the order given, so that nothing else ever waits for the
// server. A ping that fails every try is given up: `failed` hears of it, on the sending thread.
// At the end what is queued gets `timeAtEnd`; then the rest is dropped and a try in flight stopped.
class Pinger {
public:
    using Failed = std::function<void(const std::string& url, const std::string& why)>;
    Pinger(PingSend send, Failed failed, std::chrono::milliseconds pause = kPingPause,
           std::chrono::milliseconds timeAtEnd = kPingTimeAtEnd);
    ~Pinger();
    Pinger(const Pinger&) = delete;
    Pinger& operator=(const Pinger&) = delete;

    // Beyond kPingsQueuedMost waiting (a server that hangs, runs that come fast), the oldest goes.
    void ping(std::string url, std::string body);

private:
    void work();

    PingSend send_;
    Failed failed_;
    std::chrono::milliseconds pause_;
    std::chrono::milliseconds timeAtEnd_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<std::string, std::string>> queued_;
    bool stopping_ = false;
    bool busy_ = false;  // a ping is being tried
    std::atomic<bool> abort_{false};
    std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace zel
