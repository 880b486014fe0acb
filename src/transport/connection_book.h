#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "transport/channel_outbox.h"
#include "transport/local_channel.h"

// The bookkeeping both transports of the local channel share, whatever carries their bytes: the
// clients' ids and outboxes, the caller's close, the deadlines, and the events told in order.

namespace zel {

// How much one read takes from a connection; a busy client then cannot starve the others.
inline constexpr std::size_t kChannelReadPiece = 64 * 1024;
// How long taking new connections pauses after the system refused one for want of resources.
inline constexpr std::chrono::milliseconds kListenerRest{100};

template <typename F, typename... Args>
void callIfSet(const F& event, Args&&... args) {
    if (event) event(std::forward<Args>(args)...);
}

// Starts a transport's own thread; false with `error` ("<failure>: <why>") when the system gives none.
bool startLoop(std::thread& thread, std::function<void()> loop, const char* failure, std::string& error);

// Writes what a transport can of an outbox now; why the connection failed, or nothing.
using OutboxWriter = std::function<std::optional<std::string>(Outbox&)>;

// One client's turn in the server's loop: what came, and whether and how the connection ended.
struct ConnectionStep {
    std::string received;
    bool ended = false;
    bool tell = false;  // whether `closed` is called
    std::string why;

    void end(std::string reason) {
        ended = tell = true;
        why = std::move(reason);
    }
    // A write failed because the peer hung up: what it sent before may still wait to be read.
    bool hungUp() const { return ended && tell && why.empty(); }
};

// The server's clients. `send` and `close` come from any thread; everything else from the
// server's own loop, which alone opens and forgets clients.
class ConnectionBook {
public:
    using ClientId = ChannelServer::ClientId;
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit ConnectionBook(ChannelServer::Events events) : events_(std::move(events)) {}

    // False when the client is gone, so there is nothing to wake the loop for.
    bool send(ClientId id, std::string bytes);
    bool close(ClientId id, bool afterQueued);

    // A new client's id, never one used before: a late send cannot reach a newer client.
    ClientId open();
    // Tells of a new client, unless the events turn it away: then its last bytes are queued and
    // it is closed, and no event ever names it.
    void tellConnected(ClientId id, const PeerIdentity& peer);
    // Shows `each` every client's outbox, and gives the nearest time the loop must wake: a close
    // whose drain time runs out, a cut (now), or `also` when that is sooner.
    std::optional<TimePoint> nearestDeadline(std::optional<TimePoint> also,
                                             const std::function<void(ClientId, const Outbox&)>& each = {});
    // Carries out the caller's close and a queue that overflowed, else writes through `write`
    // (under the lock) and ends a close whose queue is done with.
    ConnectionStep writeStep(ClientId id, const OutboxWriter& write);
    // Tells what the step brought; once the connection ended, forgets the client, lets the
    // transport drop its handle (`drop`), and tells the end unless the caller closed it.
    void finish(ClientId id, ConnectionStep step, const std::function<void()>& drop);

    // From the destructor: no event is told from now on.
    void stop() { stopping_ = true; }
    bool stopping() const { return stopping_; }

private:
    bool callerClosed(ClientId id);

    const ChannelServer::Events events_;
    std::atomic<bool> stopping_ = false;
    ClientId nextId_ = 1;
    std::mutex mutex_;
    std::map<ClientId, Outbox> outboxes_;
};

// How long a loop may wait for `nearest`: -1 without one, else 0 to 60,000 ms.
long long waitMillis(std::optional<ConnectionBook::TimePoint> nearest);

// The client's sending side: any thread queues, the client's thread writes, a program about to
// end waits for the queue to drain.
class ClientOutbox {
public:
    // Queued unless the connection ended; the same limit as on the service's side keeps a
    // service that stopped reading from filling this memory.
    void add(std::string bytes);
    // Waits until everything queued is written, at most `limit`; false when it was not (or the
    // connection is gone).
    bool flush(std::chrono::milliseconds limit);
    bool hasQueued();
    // The client's thread: writes through `write` under the lock; why the connection ended, or nothing.
    std::optional<std::string> write(const OutboxWriter& write);
    // The connection is gone: what is queued is dropped, and flush gives up.
    void end();

private:
    std::mutex mutex_;
    std::condition_variable drained_;
    Outbox out_;
    bool ended_ = false;
};

}  // namespace zel
