#include "transport/channel_io_posix.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace zel {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Waker::Waker() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void Waker::wake() {
    const std::uint64_t one = 1;
    // A full counter already wakes the loop, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(fd_.get(), &one, sizeof one);
}

void Waker::drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_.get(), &count, sizeof count);
}

bool sendQueued(OutboundQueue& queue, int fd) {
    while (!queue.empty()) {
        const std::string_view front = queue.front();
        // MSG_NOSIGNAL: a client that vanished mid-write must not kill the process with SIGPIPE.
        const ssize_t n = ::send(fd, front.data(), front.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        queue.consume(static_cast<std::size_t>(n));
    }
    return true;
}

bool unixAddress(const std::string& path, sockaddr_un& address, std::string& error) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.find('\0') != std::string::npos) {
        error = "Kanal yolu geçersiz: " + path;
        return false;
    }
    if (path.size() >= sizeof address.sun_path) {  // the terminating zero must fit too
        error =
            "Kanal yolu çok uzun (en çok " + std::to_string(sizeof address.sun_path - 1) + " bayt): " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

std::string errnoText(int error) {
    return std::strerror(error);
}

bool peerHungUp(int error) {
    // Linux reports ECONNRESET to a reader whose peer closed with bytes of ours still unread.
    return error == EPIPE || error == ECONNRESET;
}

}  // namespace zel
