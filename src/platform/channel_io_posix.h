#pragma once

#include <sys/un.h>

#include <cstddef>
#include <deque>
#include <string>

// The pieces both ends of the local channel are built from: a descriptor that closes itself, a
// wake-up for a poll loop, and the bytes waiting to be written to one socket.

namespace zel {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset();

private:
    int fd_ = -1;
};

// Wakes a thread that sleeps in poll() from any other thread: an eventfd that poll sees readable.
class Waker {
public:
    Waker();
    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    void wake();
    void drain();

private:
    UniqueFd fd_;
};

// What is waiting to be written to one socket, in the order it was sent. Kept as the pieces that
// came so that a large queue is never copied to drop its written front.
class OutboundQueue {
public:
    std::size_t size() const { return bytes_; }
    bool empty() const { return bytes_ == 0; }
    void append(std::string bytes);
    void clear();
    // Writes what the socket takes now without waiting; false with errno set when the write failed.
    bool writeTo(int fd);

private:
    std::deque<std::string> pieces_;
    std::size_t written_ = 0;  // of the first piece
    std::size_t bytes_ = 0;
};

// The address of a socket file. False with `error` set for a path the address cannot hold whole:
// a shortened path would name another file.
bool unixAddress(const std::string& path, sockaddr_un& address, std::string& error);

// The system's words for an error number.
std::string errnoText(int error);

// A read or write that failed because the other end closed its socket: a hang-up, not a fault.
bool peerHungUp(int error);

}  // namespace zel
