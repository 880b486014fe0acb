#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace zel {

// Why a connection was dropped when the other end stopped reading.
inline constexpr const char* kChannelQueueOverflow =
    "Bağlantı düşürüldü: karşı taraf okumuyor, bekleyen veri sınırı aşıldı";

// What is waiting to be written to one connection, in the order it was sent. Kept as the pieces
// that came, so that a large queue is never copied to drop its written front.
class OutboundQueue {
public:
    std::size_t size() const { return bytes_; }
    bool empty() const { return bytes_ == 0; }
    void append(std::string bytes);
    void clear();
    // The bytes to write next: what is left of the first piece.
    std::string_view front() const;
    // Drops n bytes of front() once they are written.
    void consume(std::size_t n);
    // Up to `most` bytes from the front, taken out of the queue, for a write that keeps its
    // bytes until it ends.
    std::string take(std::size_t most);

private:
    std::deque<std::string> pieces_;
    std::size_t taken_ = 0;  // of the first piece
    std::size_t bytes_ = 0;
};

// One connection's sending side, as the socket's and the pipe's code keep it under their lock.
struct Outbox {
    OutboundQueue queue;
    std::size_t writing = 0;  // taken from the queue into a write the system has not finished
    bool closing = false;     // close(afterQueued): ends once everything is written
    bool cutNow = false;      // close(at once)
    bool overflowed = false;
    std::chrono::steady_clock::time_point drainDeadline;

    bool callerClosed() const { return closing || cutNow; }
    bool drained() const { return queue.empty() && writing == 0; }
    // Queues bytes, unless the connection is closed. A reader that stopped reading must not hold
    // unbounded memory: past kChannelQueueLimit the queue is given up whole and marked overflowed.
    void add(std::string bytes);
    // Ends the connection once what is queued is written, within a time limit (one that never
    // reads would hold it forever); or at once, dropping the queue.
    void close(bool afterQueued);
    // Whether a connection being closed after its queue is done with: written, or out of time.
    bool closeDue() const;
};

}  // namespace zel
