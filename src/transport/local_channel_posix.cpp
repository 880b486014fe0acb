#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "transport/channel_io_posix.h"
#include "transport/connection_book.h"
#include "transport/local_channel.h"

namespace zel {
namespace {

using SteadyClock = std::chrono::steady_clock;

// What one non-blocking read gave: bytes, nothing yet, or the end of the connection.
struct ReadOutcome {
    std::string bytes;
    bool ended = false;
    std::string why;  // when ended: empty for a hang-up
};

// `buffer` is the loop's own, so the bytes handed on are no larger than what came.
ReadOutcome readPiece(int fd, std::vector<char>& buffer) {
    buffer.resize(kChannelReadPiece);
    ssize_t n;
    do {
        n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    ReadOutcome out;
    if (n > 0) {
        out.bytes.assign(buffer.data(), static_cast<std::size_t>(n));
    } else if (n == 0) {
        out.ended = true;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
        out.ended = true;
        if (!peerHungUp(errno)) out.why = "Okunamadı: " + errnoText(errno);
    }
    return out;
}

// A peer that hung up may have left its last messages unread on this side, such as a refusal
// sent just before it closed: a failed write must not lose them.
std::string readLeft(int fd, std::vector<char>& buffer) {
    std::string left;
    for (;;) {
        const ReadOutcome read = readPiece(fd, buffer);
        if (read.bytes.empty()) return left;
        left += read.bytes;
    }
}

std::string writeFailure(int error) {
    return peerHungUp(error) ? std::string() : "Yazılamadı: " + errnoText(error);
}

class PosixChannelServer final : public ChannelServer {
public:
    PosixChannelServer(UniqueFd listener, std::string path, const struct stat& bound, Events events)
        : listener_(std::move(listener)),
          path_(std::move(path)),
          boundDevice_(bound.st_dev),
          boundInode_(bound.st_ino),
          book_(std::move(events)) {}

    ~PosixChannelServer() override {
        book_.stop();
        waker_.wake();
        if (thread_.joinable()) thread_.join();
        // A newer service may have replaced the file meanwhile; its socket is not ours to remove.
        struct stat now {};
        if (::lstat(path_.c_str(), &now) == 0 && now.st_dev == boundDevice_ && now.st_ino == boundInode_) {
            ::unlink(path_.c_str());
        }
    }

    bool start(std::string& error) {
        if (!waker_.valid()) {
            error = "Kanal açılamadı: " + errnoText(errno);
            return false;
        }
        return startLoop(thread_, [this] { run(); }, "Kanal açılamadı", error);
    }

    void send(ClientId client, std::string bytes) override {
        if (book_.send(client, std::move(bytes))) waker_.wake();
    }

    void close(ClientId client, bool afterQueued) override {
        if (book_.close(client, afterQueued)) waker_.wake();
    }

private:
    void run() {
        std::vector<pollfd> polled;
        std::vector<ClientId> ids;
        while (!book_.stopping()) {
            const int timeout = buildPollSet(polled, ids);
            if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
            if (book_.stopping()) break;
            if (polled[0].revents != 0) waker_.drain();
            for (std::size_t i = 0; i < ids.size() && !book_.stopping(); ++i) serve(ids[i], polled[i + 2].revents);
            if (polled[1].revents != 0) acceptAll();
        }
    }

    // The wake-up and the listener first, then every client; the timeout is the nearest deadline.
    int buildPollSet(std::vector<pollfd>& polled, std::vector<ClientId>& ids) {
        const bool resting = SteadyClock::now() < listenerRestsUntil_;
        polled.assign(
            {{waker_.fd(), POLLIN, 0}, {listener_.get(), static_cast<short>(resting ? 0 : POLLIN), 0}});
        ids.clear();
        std::optional<SteadyClock::time_point> rest;
        if (resting) rest = listenerRestsUntil_;
        const auto nearest = book_.nearestDeadline(rest, [&](ClientId id, const Outbox& out) {
            polled.push_back(
                {sockets_.at(id).get(), static_cast<short>(out.queue.empty() ? POLLIN : POLLIN | POLLOUT), 0});
            ids.push_back(id);
        });
        return static_cast<int>(waitMillis(nearest));
    }

    void serve(ClientId id, short revents) {
        const int fd = sockets_.at(id).get();
        ConnectionStep step = book_.writeStep(id, [fd](Outbox& out) -> std::optional<std::string> {
            if (sendQueued(out.queue, fd)) return std::nullopt;
            return writeFailure(errno);
        });
        if (step.hungUp()) {
            step.received = readLeft(fd, buffer_);
        } else if (!step.ended && (revents & (POLLIN | POLLHUP | POLLERR))) {
            ReadOutcome read = readPiece(fd, buffer_);
            step.received = std::move(read.bytes);
            if (read.ended) step.end(std::move(read.why));
        }
        book_.finish(id, std::move(step), [&] { sockets_.erase(id); });
    }

    void acceptAll() {
        for (;;) {
            UniqueFd socket(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!socket.valid()) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                // Out of descriptors, say: the waiting connection stays and the listener stays
                // readable, so it is left alone for a moment instead of being polled in a busy loop.
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    listenerRestsUntil_ = SteadyClock::now() + kListenerRest;
                return;
            }
            ucred credentials{};
            socklen_t size = sizeof credentials;
            if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) continue;
            const PeerIdentity peer{static_cast<std::uint32_t>(credentials.uid),
                                    static_cast<std::uint32_t>(credentials.gid), credentials.pid,
                                    std::to_string(credentials.uid)};
            const ClientId id = book_.open();
            sockets_.emplace(id, std::move(socket));
            if (book_.stopping()) return;
            book_.tellConnected(id, peer);
        }
    }

    UniqueFd listener_;
    const std::string path_;
    const dev_t boundDevice_;
    const ino_t boundInode_;
    ConnectionBook book_;
    Waker waker_;
    SteadyClock::time_point listenerRestsUntil_;
    // Only the loop touches the sockets, so none is closed while another thread might use its number.
    std::map<ClientId, UniqueFd> sockets_;
    std::vector<char> buffer_;

    std::thread thread_;  // last: started once everything above exists
};

class PosixChannelClient final : public ChannelClient {
public:
    PosixChannelClient(UniqueFd socket, Events events)
        : socket_(std::move(socket)), events_(std::move(events)) {}

    ~PosixChannelClient() override {
        stopping_ = true;
        waker_.wake();
        if (thread_.joinable()) thread_.join();
    }

    bool start(std::string& error) {
        if (!waker_.valid()) {
            error = "Bağlanılamadı: " + errnoText(errno);
            return false;
        }
        return startLoop(thread_, [this] { run(); }, "Bağlanılamadı", error);
    }

    void send(std::string bytes) override {
        out_.add(std::move(bytes));
        waker_.wake();
    }

    bool flush(std::chrono::milliseconds limit) override { return out_.flush(limit); }

private:
    void run() {
        pollfd polled[2] = {{waker_.fd(), POLLIN, 0}, {socket_.get(), POLLIN, 0}};
        while (!stopping_) {
            std::optional<std::string> why = writeQueued();
            if (why && why->empty()) {
                std::string left = readLeft(socket_.get(), buffer_);
                if (!left.empty()) callIfSet(events_.received, std::move(left));
            } else if (!why) {
                polled[1].events = static_cast<short>(out_.hasQueued() ? POLLIN | POLLOUT : POLLIN);
                if (::poll(polled, 2, -1) < 0 && errno != EINTR) {
                    why = "Bağlantı izlenemedi: " + errnoText(errno);
                } else {
                    if (stopping_) return;
                    if (polled[0].revents != 0) waker_.drain();
                    if (polled[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                        ReadOutcome read = readPiece(socket_.get(), buffer_);
                        if (!read.bytes.empty()) callIfSet(events_.received, std::move(read.bytes));
                        if (read.ended) why = std::move(read.why);
                    }
                }
            }
            if (why) {
                out_.end();
                ::shutdown(socket_.get(), SHUT_RDWR);  // the service sees the end now, not at destruction
                if (!stopping_) callIfSet(events_.closed, *why);
                return;
            }
        }
    }

    // Nothing while the connection goes on; why it ended otherwise.
    std::optional<std::string> writeQueued() {
        const int fd = socket_.get();
        return out_.write([fd](Outbox& out) -> std::optional<std::string> {
            if (sendQueued(out.queue, fd)) return std::nullopt;
            return writeFailure(errno);
        });
    }

    UniqueFd socket_;
    const Events events_;
    Waker waker_;
    std::atomic<bool> stopping_ = false;
    ClientOutbox out_;
    std::vector<char> buffer_;
    std::thread thread_;
};

// A socket file nobody listens on any more (its service died) refuses connections; a live one
// accepts them, or says its backlog is full. The live service sees the probe as a client that
// hangs up at once.
enum class Occupant { Stale, Live, Unknown };

Occupant probe(const sockaddr_un& address, int& error) {
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!probe.valid()) {
        error = errno;
        return Occupant::Unknown;
    }
    if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return Occupant::Live;
    }
    error = errno;
    if (error == ECONNREFUSED) return Occupant::Stale;
    if (error == EAGAIN || error == EINPROGRESS) return Occupant::Live;
    return Occupant::Unknown;
}

// Binds, replacing a stale socket file; never a live one nor a file that is not a socket.
bool bindReplacingStale(int fd, const std::string& path, const sockaddr_un& address, std::string& error) {
    const auto bindIt = [&] {
        return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };
    if (bindIt()) return true;
    int why = errno;
    if (why == EADDRINUSE) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISSOCK(st.st_mode)) {
            error = "Kanal yolunda soket olmayan bir dosya var: " + path;
            return false;
        }
        switch (probe(address, why)) {
            case Occupant::Live:
                error = "Bu kanalda çalışan bir hizmet zaten dinliyor: " + path;
                return false;
            case Occupant::Stale:
                if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
                    why = errno;
                    break;
                }
                if (bindIt()) return true;
                why = errno;
                break;
            case Occupant::Unknown:
                break;
        }
    }
    error = "Kanal açılamadı: " + path + " (" + errnoText(why) + ")";
    return false;
}

// Connects without ever waiting past `deadline`. Linux refuses at once with EAGAIN while the
// listener's backlog is full, so that is tried again until the deadline; other systems may
// report EINPROGRESS and finish in the background.
bool connectBefore(int fd, const sockaddr_un& address, SteadyClock::time_point deadline, int& error) {
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
        error = errno;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (error == EINTR) continue;
        if (error == EAGAIN) {
            if (left <= 0) {
                error = ETIMEDOUT;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<decltype(left)>(left, 10)));
            continue;
        }
        if (error != EINPROGRESS) return false;
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::max<decltype(left)>(left, 0)));
        if (ready <= 0) {
            error = ready == 0 ? ETIMEDOUT : errno;
            return false;
        }
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        return error == 0;
    }
}

}  // namespace

std::unique_ptr<ChannelServer> listenOnChannel(const std::string& path, ChannelServer::Events events,
                                               std::string& error) {
    sockaddr_un address;
    if (!unixAddress(path, address, error)) return nullptr;
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener.valid()) {
        error = "Kanal açılamadı: " + errnoText(errno);
        return nullptr;
    }
    if (!bindReplacingStale(listener.get(), path, address, error)) return nullptr;
    // Every user may reach the socket; whom the service talks to is decided by the peer's identity.
    struct stat bound {};
    if (::chmod(path.c_str(), 0666) != 0 || ::lstat(path.c_str(), &bound) != 0 ||
        ::listen(listener.get(), SOMAXCONN) != 0) {
        error = "Kanal açılamadı: " + path + " (" + errnoText(errno) + ")";
        ::unlink(path.c_str());
        return nullptr;
    }
    auto server = std::make_unique<PosixChannelServer>(std::move(listener), path, bound, std::move(events));
    if (!server->start(error)) return nullptr;
    return server;
}

std::unique_ptr<ChannelClient> connectToChannel(const std::string& path, std::chrono::milliseconds timeout,
                                                ChannelClient::Events events, std::string& error) {
    const auto deadline = SteadyClock::now() + timeout;
    sockaddr_un address;
    if (!unixAddress(path, address, error)) return nullptr;
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    int why = errno;
    if (!socket.valid() || !connectBefore(socket.get(), address, deadline, why)) {
        error = why == ETIMEDOUT ? "Kanal yanıt vermedi: " + path
                : why == EACCES  ? std::string(kChannelRefused)
                                 : "Bağlanılamadı: " + path + " (" + errnoText(why) + ")";
        return nullptr;
    }
    auto client = std::make_unique<PosixChannelClient>(std::move(socket), std::move(events));
    if (!client->start(error)) return nullptr;
    return client;
}

}  // namespace zel
