#pragma once

#include <sys/un.h>

#include <cstddef>
#include <string>

#include "transport/channel_outbox.h"

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

// Writes what the socket takes now of the queue, without waiting; false with errno set when the
// write failed.
bool sendQueued(OutboundQueue& queue, int fd);

// The address of a socket file. False with `error` set for a path the address cannot hold whole:
// a shortened path would name another file.
bool unixAddress(const std::string& path, sockaddr_un& address, std::string& error);

// The system's words for an error number.
std::string errnoText(int error);

// A read or write that failed because the other end closed its socket: a hang-up, not a fault.
bool peerHungUp(int error);

}  // namespace zel
