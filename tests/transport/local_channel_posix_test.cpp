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

#include "support/core/channel_sides.h"
#include "support/core/raw_socket_posix.h"
#include "support/core/temp_dir.h"
#include "transport/channel_io_posix.h"
#include "transport/local_channel.h"

namespace zel {
namespace {

using namespace std::chrono_literals;
using namespace test;

class LocalChannel : public test::ChannelTest {
protected:
    LocalChannel() { path = (tmp / "kanal").string(); }
    test::TempDir tmp;
};

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
    EXPECT_EQ(peerAccess(peer), PeerAccess::Manager);  // the service's own user
    EXPECT_EQ(peer.user, std::to_string(::getuid()));
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

}  // namespace
}  // namespace zel
