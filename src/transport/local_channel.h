#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

// Who is at the other end of a connection, as the operating system vouches for it.
struct PeerIdentity {
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::int64_t pid = 0;
    // The user, as the service counts connections: the uid as text, on Windows the user's SID.
    std::string user = {};
    // Windows: the client's token holds the Administrators group enabled (an elevated program).
    bool administrator = false;
};

// What one connection may have waiting to be written to it; a client that stops reading is dropped
// once this much is queued for it, so it can never hold the service up or fill its memory.
inline constexpr std::size_t kChannelQueueLimit = 1024 * 1024;

// The service's end of the local channel. Its own thread accepts, reads and writes without ever
// blocking on a client; the events below are called on that thread, one at a time.
class ChannelServer {
public:
    using ClientId = std::uint64_t;
    struct Events {
        // A client connected; its identity is the one the operating system reports for the socket.
        std::function<void(ClientId, const PeerIdentity&)> connected;
        // Bytes as they came, in order; framing is the caller's business.
        std::function<void(ClientId, std::string bytes)> received;
        // The connection is gone: the client hung up (why empty), or it was dropped (why says so:
        // its queue passed kChannelQueueLimit, a read or write failed). Not called after close().
        std::function<void(ClientId, const std::string& why)> closed;
        // Asked first, on the channel's thread, before anything is told or queued: the last bytes
        // for a peer that is turned away (written, then the connection ends; empty: ended at
        // once), or nothing to let it in. Unset: everyone is let in.
        std::function<std::optional<std::string>(const PeerIdentity&)> turnAway;
    };
    virtual ~ChannelServer() = default;
    // Thread-safe; never blocks. Bytes for a client that is gone are dropped.
    virtual void send(ClientId client, std::string bytes) = 0;
    // Thread-safe. Ends the connection once what is queued for it is written (or at once, when
    // `afterQueued` is false). No `closed` event follows.
    virtual void close(ClientId client, bool afterQueued) = 0;
};

// The client's end of the channel. Its own thread reads; the events come on that thread.
class ChannelClient {
public:
    struct Events {
        std::function<void(std::string bytes)> received;
        // The connection is gone (why empty when the service hung up). Called at most once.
        std::function<void(const std::string& why)> closed;
    };
    virtual ~ChannelClient() = default;
    // Thread-safe; never blocks. Queued bytes are written by the client's thread.
    virtual void send(std::string bytes) = 0;
    // Waits until everything queued is written, at most `limit`; false when it was not (or the
    // connection is gone). For a program that is about to end.
    virtual bool flush(std::chrono::milliseconds limit) = 0;
};

// Listens at `path` (a Unix socket; a stale socket file left there by a dead service is replaced,
// a live one is not). The socket file is open to every user: who may talk to the service is
// decided from the peer's identity. On Windows `path` names a pipe ("\\.\pipe\..."), which
// nobody else may hold already, and its access list decides. Null with `error` set when it cannot listen.
std::unique_ptr<ChannelServer> listenOnChannel(const std::string& path, ChannelServer::Events events,
                                               std::string& error);

// What connectToChannel's `error` is when the operating system refused this user the channel
// itself (the socket's folder, the pipe's access list): a service is there, but not for them.
inline constexpr std::string_view kChannelRefused = "Kanala erişim reddedildi";

// Connects to `path`, waiting at most `timeout`. Null with `error` set when nobody answers.
std::unique_ptr<ChannelClient> connectToChannel(const std::string& path, std::chrono::milliseconds timeout,
                                                ChannelClient::Events events, std::string& error);

// What a peer may do with the service: nothing; watch (see everything, run and cancel a backup);
// or manage (also change the settings, and so reach whatever the service can read).
enum class PeerAccess { Refused, Watcher, Manager };

// The groups whose members may watch, and manage, a service that runs as another user.
inline constexpr const char* kServiceGroup = "zelyedek";
inline constexpr const char* kManagerGroup = "zelyedek-yonetim";

// Linux: the service's own user, root and members of kManagerGroup manage, members of
// kServiceGroup watch (primary or supplementary groups). Windows: an administrator's token
// manages, and everyone else the pipe let in watches.
PeerAccess peerAccess(const PeerIdentity& peer);

}  // namespace zel
