#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "transport/local_channel.h"

namespace zel::test {

using ClientId = ChannelServer::ClientId;

// Only so that a fault fails a test instead of hanging it.
inline constexpr auto kPatience = std::chrono::seconds(20);

// Events as they come on the channel's thread, for the test's thread to wait on.
class Recorder {
public:
    template <typename F>
    void record(F change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }
    // What `look` gives, read while no event changes it.
    template <typename F>
    auto read(F look) {
        std::lock_guard lock(mutex_);
        return look();
    }
    template <typename P>
    bool waitFor(P ready) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, ready);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

struct ServerSide : Recorder {
    std::vector<ClientId> connected;
    std::map<ClientId, PeerIdentity> peers;
    std::map<ClientId, std::string> received;
    std::map<ClientId, std::string> closed;
    // How long the service takes over each piece it reads: a slow reader keeps writes to it pending.
    std::atomic<int> pauseMs = 0;

    ChannelServer::Events events() {
        return {[this](ClientId id, const PeerIdentity& p) {
                    record([&] { connected.push_back(id), peers[id] = p; });
                },
                [this](ClientId id, std::string b) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs.load()));
                    record([&] { received[id] += b; });
                },
                [this](ClientId id, const std::string& why) { record([&] { closed[id] = why; }); }};
    }
};

struct ClientSide : Recorder {
    std::string received;
    std::optional<std::string> closed;
    std::atomic<int> pauseMs = 0;  // as the service's

    ChannelClient::Events events() {
        return {[this](std::string b) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs.load()));
                    record([&] { received += b; });
                },
                [this](const std::string& why) { record([&] { closed = why; }); }};
    }
};

inline std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

// A server at `path` with its recorded events, and clients of it; `path` is the platform's.
class ChannelTest : public ::testing::Test {
protected:
    std::unique_ptr<ChannelServer> listen() {
        std::string error;
        auto s = listenOnChannel(path, server.events(), error);
        EXPECT_TRUE(s) << error;
        return s;
    }
    std::unique_ptr<ChannelClient> connect(ClientSide& side) {
        std::string error;
        auto c = connectToChannel(path, std::chrono::seconds(5), side.events(), error);
        EXPECT_TRUE(c) << error;
        return c;
    }
    ClientId nthConnected(std::size_t n) {
        EXPECT_TRUE(server.waitFor([&] { return server.connected.size() >= n; }));
        return server.read([&] { return server.connected.size() >= n ? server.connected[n - 1] : 0; });
    }

    std::string path;
    ServerSide server;
};

}  // namespace zel::test
