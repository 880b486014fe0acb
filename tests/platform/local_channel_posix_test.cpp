#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "platform/channel_io_posix.h"
#include "platform/local_channel.h"
#include "support/core/channel_sides.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

using namespace std::chrono_literals;
using namespace test;

// A socket of the test's own at `path`: bound (and listening, with `backlog`) or connected.
UniqueFd rawSocket(const std::string& path, bool connectToIt, int backlog = -1) {
    sockaddr_un address;
    std::string error;
    EXPECT_TRUE(unixAddress(path, address, error)) << error;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const auto* a = reinterpret_cast<const sockaddr*>(&address);
    const bool done = connectToIt ? ::connect(fd.get(), a, sizeof address) == 0
                                  : ::bind(fd.get(), a, sizeof address) == 0 &&
                                        (backlog < 0 || ::listen(fd.get(), backlog) == 0);
    return done ? std::move(fd) : UniqueFd();
}

class LocalChannel : public test::ChannelTest {
protected:
    LocalChannel() { path = (tmp / "kanal").string(); }
    test::TempDir tmp;
};

TEST_F(LocalChannel, SeveralClientsEachGetTheirOwnBytes) {
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

TEST_F(LocalChannel, LargeMessageArrivesWholeBothWays) {
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    const std::string bytes = pattern(512 * 1024);
    s->send(id, bytes);
    EXPECT_TRUE(side.waitFor([&] { return side.received.size() >= bytes.size(); }));
    EXPECT_TRUE(side.read([&] { return side.received == bytes; }));
    // A window about to end waits until what it sent is written; ending right after loses nothing.
    c->send(bytes);
    EXPECT_TRUE(c->flush(std::chrono::seconds(10)));
    c.reset();
    EXPECT_TRUE(server.waitFor([&] { return server.received[id].size() >= bytes.size(); }));
    EXPECT_TRUE(server.read([&] { return server.received[id] == bytes; }));
}

TEST_F(LocalChannel, ClientThatNeverReadsIsDroppedWhileAnotherIsServed) {
    auto s = listen();
    const UniqueFd silent = rawSocket(path, true);
    ASSERT_TRUE(silent.valid());
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

TEST_F(LocalChannel, CloseAfterQueuedWritesEverythingThenHangsUp) {
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    const std::string bytes = pattern(512 * 1024);
    s->send(id, bytes);
    s->close(id, true);
    s->send(id, "kapandıktan sonra");
    ASSERT_TRUE(side.waitFor([&] { return side.closed.has_value(); }));
    EXPECT_EQ(side.read([&] { return *side.closed; }), "");
    EXPECT_TRUE(side.read([&] { return side.received == bytes; }));
    EXPECT_EQ(server.read([&] { return server.closed.count(id); }), 0u);
}

TEST_F(LocalChannel, PeerIsTheConnectingProcessAndTheFileIsOpenToEveryUser) {
    auto s = listen();
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    const PeerIdentity peer = server.read([&] { return server.peers[id]; });
    EXPECT_EQ(peer.uid, ::getuid());
    EXPECT_EQ(peer.gid, ::getgid());
    EXPECT_EQ(peer.pid, ::getpid());
    EXPECT_TRUE(peerMayConnect(peer));
}

TEST_F(LocalChannel, StaleSocketFileIsReplaced) {
    ASSERT_TRUE(
        rawSocket(path, false).valid());  // closed at once, its file left behind as by a killed service
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    nthConnected(1);
}

TEST_F(LocalChannel, LiveServiceIsNeitherReplacedNorDisturbed) {
    auto first = listen();
    std::string error;
    EXPECT_EQ(listenOnChannel(path, {}, error), nullptr);
    EXPECT_NE(error, "");
    ClientSide side;
    auto c = connect(side);
    nthConnected(1);
}

TEST_F(LocalChannel, SocketFileOfANewerServiceIsLeftAlone) {
    auto old = listen();
    std::filesystem::remove(path);
    std::string error;
    auto newer = listenOnChannel(path, {}, error);
    ASSERT_TRUE(newer) << error;
    old.reset();
    EXPECT_TRUE(std::filesystem::exists(path));
    newer.reset();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LocalChannel, PathLongerThanTheAddressIsRefusedWhole) {
    const std::string longPath = (tmp / std::string(120, 'k')).string();
    std::string error;
    EXPECT_EQ(listenOnChannel(longPath, {}, error), nullptr);
    EXPECT_NE(error, "");
    error.clear();
    EXPECT_EQ(connectToChannel(longPath, 1s, {}, error), nullptr);
    EXPECT_NE(error, "");
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));  // nothing bound under a shortened name
}

TEST_F(LocalChannel, ConnectGivesUpWhenNobodyAnswers) {
    // A listener that never accepts, its backlog full: a blocking connect would wait for ever.
    const std::string deaf = (tmp / "sağır").string();
    const UniqueFd listener = rawSocket(deaf, false, 0);
    ASSERT_TRUE(listener.valid());
    std::vector<UniqueFd> waiting;
    for (UniqueFd fd; waiting.size() < 64 && (fd = rawSocket(deaf, true)).valid();)
        waiting.push_back(std::move(fd));
    for (const std::string& target : {deaf, (tmp / "yok").string()}) {
        std::string error;
        EXPECT_EQ(connectToChannel(target, 200ms, {}, error), nullptr) << target;
        EXPECT_NE(error, "") << target;
    }
}

TEST_F(LocalChannel, DestructionWaitsForARunningEventAndNoEventFollowsIt) {
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
}

}  // namespace
}  // namespace zel
