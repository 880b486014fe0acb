// What the channel does alike over a local socket and over a named pipe.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/core/channel_sides.h"
#include "transport/local_channel.h"
#ifdef _WIN32
#include "support/core/raw_pipe_win.h"
#else
#include "support/core/raw_socket_posix.h"
#include "support/core/temp_dir.h"
#endif

namespace zel {
namespace {

using namespace std::chrono_literals;
using namespace test;

class ChannelTransport : public ChannelTest {
protected:
#ifdef _WIN32
    ChannelTransport() { path = freshPipe("kanal"); }
    // A connection that never reads; true when it is made.
    RawHandle silentClient() { return rawClient(path); }
    static bool made(const RawHandle& h) { return h != nullptr; }
#else
    ChannelTransport() { path = (tmp / "kanal").string(); }
    UniqueFd silentClient() { return rawSocket(path, true); }
    static bool made(const UniqueFd& fd) { return fd.valid(); }
    TempDir tmp;
#endif
};

TEST_F(ChannelTransport, SeveralClientsEachGetTheirOwnBytes) {
    auto s = listen();
    std::array<ClientSide, 3> sides;
    std::vector<std::unique_ptr<ChannelClient>> clients;
    const auto text = [](std::size_t i) { return "istemci " + std::to_string(i); };
    for (std::size_t i = 0; i < sides.size(); ++i) {
        clients.push_back(connect(sides[i]));
        clients[i]->send(text(i));
    }
    // The id each whole text came from.
    std::map<std::string, ClientId> ids;
    ASSERT_TRUE(server.waitFor([&] {
        ids.clear();
        for (const auto& [id, bytes] : server.received) ids[bytes] = id;
        return ids.count(text(0)) && ids.count(text(1)) && ids.count(text(2));
    }));
    std::set<ClientId> distinct;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        distinct.insert(ids[text(i)]);
        s->send(ids[text(i)], "yanıt: " + text(i));
    }
    EXPECT_EQ(distinct.size(), sides.size());
    EXPECT_EQ(distinct.count(0), 0u);
    for (std::size_t i = 0; i < sides.size(); ++i) {
        EXPECT_TRUE(sides[i].waitFor([&] { return sides[i].received == "yanıt: " + text(i); })) << i;
    }
    // A client that hangs up is reported without a reason, and its id is never given again.
    clients[0].reset();
    ASSERT_TRUE(server.waitFor([&] { return server.closed.size() == 1; }));
    EXPECT_EQ(server.read([&] { return server.closed; }),
              (std::map<ClientId, std::string>{{ids[text(0)], ""}}));
    ClientSide later;
    auto laterClient = connect(later);
    EXPECT_GT(nthConnected(4), *distinct.rbegin());
}

TEST_F(ChannelTransport, LargeMessageArrivesWholeBothWays) {
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    const std::string bytes = pattern(512 * 1024);
    s->send(id, bytes);
    EXPECT_TRUE(side.waitFor([&] { return side.received.size() >= bytes.size(); }));
    EXPECT_TRUE(side.read([&] { return side.received == bytes; }));
    // A window about to end waits until what it sent is written; ending right after loses nothing,
    // not even the last piece that a slow service has yet to take from the channel.
    server.pauseMs = 20;
    c->send(bytes);
    EXPECT_TRUE(c->flush(std::chrono::seconds(10)));
    c.reset();
    EXPECT_TRUE(server.waitFor([&] { return server.closed.count(id) > 0; }));
    EXPECT_EQ(server.read([&] { return server.received[id].size(); }), bytes.size());
    EXPECT_TRUE(server.read([&] { return server.received[id] == bytes; }));
    EXPECT_EQ(server.read([&] { return server.closed[id]; }), "");
}

// Each side busy with a piece while the other says its last and hangs up, then writing to it: the
// failed write must not lose the last words (a service refusing a client at once, a window closing).
TEST_F(ChannelTransport, LastWordsOfAPeerThatHungUpOutliveAWriteToIt) {
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    side.pauseMs = 1000;
    s->send(id, "ilk\n");
    std::this_thread::sleep_for(200ms);  // the client is now busy with "ilk"
    s->send(id, "refused\n");
    s->close(id, true);
    std::this_thread::sleep_for(200ms);  // written and hung up
    c->send("hello\n");
    ASSERT_TRUE(side.waitFor([&] { return side.closed.has_value(); }));
    EXPECT_EQ(side.read([&] { return side.received; }), "ilk\nrefused\n");

    ClientSide window;
    auto w = connect(window);
    const ClientId windowId = nthConnected(2);
    server.pauseMs = 1000;
    w->send("a\n");
    std::this_thread::sleep_for(200ms);  // the service is now busy with "a"
    s->send(windowId, "satır\n");
    w->send("source\tC:\\veri\n");
    EXPECT_TRUE(w->flush(std::chrono::seconds(5)));
    w.reset();
    ASSERT_TRUE(server.waitFor([&] { return server.closed.count(windowId) > 0; }));
    EXPECT_EQ(server.read([&] { return server.received[windowId]; }), "a\nsource\tC:\\veri\n");
    EXPECT_EQ(server.read([&] { return server.closed[windowId]; }), "");
}

// Turned away on the channel's thread: the peer reads its last words (or nothing) and the end,
// and the server's events never name it; a peer let in is told as ever.
TEST_F(ChannelTransport, APeerTurnedAwayGetsItsLastWordsAndIsNeverTold) {
    ChannelServer::Events events = server.events();
    std::atomic<int> asked = 0;
    events.turnAway = [&asked](const PeerIdentity&) -> std::optional<std::string> {
        const int n = asked++;
        if (n == 0) return std::string("refused\n");
        if (n == 1) return std::string();
        return std::nullopt;
    };
    std::string error;
    auto s = listenOnChannel(path, std::move(events), error);
    ASSERT_TRUE(s) << error;
    for (const char* expected : {"refused\n", ""}) {
        ClientSide side;
        auto c = connect(side);
        ASSERT_TRUE(side.waitFor([&] { return side.closed.has_value(); })) << expected;
        EXPECT_EQ(side.read([&] { return side.received; }), expected);
        c->send("hello\n");
    }
    ClientSide welcome;
    auto w = connect(welcome);
    w->send("hello\n");
    ASSERT_TRUE(server.waitFor([&] { return !server.received.empty(); }));
    EXPECT_EQ(server.read([&] { return server.connected.size(); }), 1u);
    EXPECT_EQ(server.read([&] { return server.received; }),
              (std::map<ClientId, std::string>{{server.connected.front(), "hello\n"}}));
    EXPECT_TRUE(server.read([&] { return server.closed.empty(); }));
}

TEST_F(ChannelTransport, ClientThatNeverReadsIsDroppedWhileAnotherIsServed) {
    auto s = listen();
    const auto silent = silentClient();
    ASSERT_TRUE(made(silent));
    const ClientId silentId = nthConnected(1);
    ClientSide side;
    auto reader = connect(side);
    const ClientId readerId = nthConnected(2);

    const std::string chunk(64 * 1024, 'x');
    std::string expected;
    const auto dropped = [&] { return server.closed.count(silentId) > 0; };
    for (int i = 0; i < 1000 && !server.read(dropped); ++i) {  // 64 MB at most
        s->send(silentId, chunk);
        const std::string note = "parça " + std::to_string(i) + "\n";
        s->send(readerId, note);
        expected += note;
    }
    ASSERT_TRUE(server.waitFor(dropped));
    EXPECT_NE(server.read([&] { return server.closed[silentId]; }), "");
    EXPECT_TRUE(side.waitFor([&] { return side.received == expected; }));
    EXPECT_FALSE(side.read([&] { return side.closed.has_value(); }));
    EXPECT_EQ(server.read([&] { return server.closed.count(readerId); }), 0u);
}

TEST_F(ChannelTransport, DestructionWaitsForARunningEventAndNoEventFollowsIt) {
    std::atomic<ChannelServer*> live = nullptr;
    std::atomic<bool> destroyed = false, lateEvent = false;
    std::promise<void> inEvent, destroying;
    ChannelServer::Events events;
    events.connected = [&](ClientId id, const PeerIdentity&) {
        inEvent.set_value();
        destroying.get_future().wait_for(kPatience);
        std::this_thread::sleep_for(50ms);  // the destructor is now waiting for this thread
        live.load()->send(id, "son");       // safe until the destructor returns
        if (destroyed) lateEvent = true;
    };
    events.received = [&](ClientId, std::string) { lateEvent = lateEvent || destroyed; };
    events.closed = [&](ClientId, const std::string&) { lateEvent = lateEvent || destroyed; };
    std::string error;
    auto s = listenOnChannel(path, events, error);
    ASSERT_TRUE(s) << error;
    live = s.get();
    ClientSide side;
    auto c = connect(side);
    c->send("bir şey");
    ASSERT_EQ(inEvent.get_future().wait_for(kPatience), std::future_status::ready);
    destroying.set_value();
    s.reset();
    destroyed = true;
    EXPECT_TRUE(side.waitFor([&] { return side.closed.has_value(); }));  // every connection was closed
    EXPECT_FALSE(lateEvent);
    // The name is free again for the next service.
    auto again = listenOnChannel(path, {}, error);
    EXPECT_TRUE(again) << error;
}

}  // namespace
}  // namespace zel
