#include "transport/connection_book.h"

#include <algorithm>
#include <system_error>

namespace zel {

bool ConnectionBook::send(ClientId id, std::string bytes) {
    std::lock_guard lock(mutex_);
    const auto found = outboxes_.find(id);
    if (found == outboxes_.end()) return false;
    found->second.add(std::move(bytes));
    return true;
}

bool ConnectionBook::close(ClientId id, bool afterQueued) {
    std::lock_guard lock(mutex_);
    const auto found = outboxes_.find(id);
    if (found == outboxes_.end()) return false;
    found->second.close(afterQueued);
    return true;
}

ConnectionBook::ClientId ConnectionBook::open() {
    const ClientId id = nextId_++;
    std::lock_guard lock(mutex_);
    outboxes_.emplace(id, Outbox{});
    return id;
}

void ConnectionBook::tellConnected(ClientId id, const PeerIdentity& peer) {
    if (stopping_) return;
    if (events_.turnAway) {
        if (std::optional<std::string> last = events_.turnAway(peer)) {
            const bool words = !last->empty();
            if (words) send(id, std::move(*last));
            close(id, words);
            return;
        }
    }
    callIfSet(events_.connected, id, peer);
}

std::optional<ConnectionBook::TimePoint> ConnectionBook::nearestDeadline(
    std::optional<TimePoint> also, const std::function<void(ClientId, const Outbox&)>& each) {
    std::optional<TimePoint> nearest = also;
    std::lock_guard lock(mutex_);
    for (const auto& [id, out] : outboxes_) {
        if (each) each(id, out);
        // A connection cut on the loop's own thread (turned away) has no wake-up to end it.
        const std::optional<TimePoint> due =
            out.cutNow ? std::optional(TimePoint::clock::now()) : out.closing ? std::optional(out.drainDeadline) : std::nullopt;
        if (due && (!nearest || *due < *nearest)) nearest = due;
    }
    return nearest;
}

ConnectionStep ConnectionBook::writeStep(ClientId id, const OutboxWriter& write) {
    ConnectionStep step;
    std::lock_guard lock(mutex_);
    Outbox& out = outboxes_.at(id);
    if (out.cutNow) {
        step.ended = true;
    } else if (out.overflowed) {
        step.end(kChannelQueueOverflow);
    } else if (std::optional<std::string> failed = write(out)) {
        step.end(std::move(*failed));
    } else if (out.closeDue()) {
        step.ended = true;
    }
    return step;
}

void ConnectionBook::finish(ClientId id, ConnectionStep step, const std::function<void()>& drop) {
    // Bytes from a client the caller has closed are of no use to anyone.
    if (!step.received.empty() && !callerClosed(id)) callIfSet(events_.received, id, std::move(step.received));
    if (!step.ended) return;
    {
        std::lock_guard lock(mutex_);
        // The caller may have closed it while it was being told of the last bytes.
        if (outboxes_.at(id).callerClosed()) step.tell = false;
        outboxes_.erase(id);
    }
    drop();
    if (step.tell && !stopping_) callIfSet(events_.closed, id, step.why);
}

bool ConnectionBook::callerClosed(ClientId id) {
    std::lock_guard lock(mutex_);
    return outboxes_.at(id).callerClosed();
}

bool startLoop(std::thread& thread, std::function<void()> loop, const char* failure, std::string& error) {
    try {
        thread = std::thread(std::move(loop));
    } catch (const std::system_error& e) {
        error = std::string(failure) + ": " + e.what();
        return false;
    }
    return true;
}

long long waitMillis(std::optional<ConnectionBook::TimePoint> nearest) {
    if (!nearest) return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*nearest - std::chrono::steady_clock::now()).count();
    return std::clamp<long long>(left, 0, 60'000);
}

void ClientOutbox::add(std::string bytes) {
    std::lock_guard lock(mutex_);
    if (!ended_) out_.add(std::move(bytes));
}

bool ClientOutbox::flush(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    drained_.wait_for(lock, limit, [&] { return ended_ || out_.overflowed || out_.drained(); });
    return !ended_ && !out_.overflowed && out_.drained();
}

bool ClientOutbox::hasQueued() {
    std::lock_guard lock(mutex_);
    return !out_.queue.empty();
}

std::optional<std::string> ClientOutbox::write(const OutboxWriter& write) {
    std::optional<std::string> why;
    {
        std::lock_guard lock(mutex_);
        if (out_.overflowed) return kChannelQueueOverflow;
        why = write(out_);
        if (!why && !out_.drained()) return why;
    }
    drained_.notify_all();
    return why;
}

void ClientOutbox::end() {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        out_.queue.clear();
        out_.writing = 0;
    }
    drained_.notify_all();
}

}  // namespace zel
