#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/local_channel.h"
#include "platform/local_channel_win.h"
#include "platform/wide_text_win.h"
#include "support/core/channel_sides.h"

namespace zel {
namespace {

using namespace std::chrono_literals;
using namespace test;

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using RawHandle = std::unique_ptr<void, HandleCloser>;

// A name no other test and no other run uses.
std::string freshPipe(const char* what) {
    static std::atomic<int> counter = 0;
    return "\\\\.\\pipe\\ZELYedek-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "-" + what;
}

// A client of the test's own, with blocking calls: one that reads only when the test says so. Waits
// while every instance is taken; null when the pipe cannot be opened.
RawHandle rawClient(const std::string& path) {
    const std::wstring name = widen(path);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        HANDLE h = CreateFileW(name.c_str(), kChannelClientRights, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) return RawHandle(h);
        if (GetLastError() != ERROR_PIPE_BUSY || std::chrono::steady_clock::now() > deadline) return nullptr;
        WaitNamedPipeW(name.c_str(), 100);
    }
}

// A pipe instance of the test's own with the access list `sddl` (the system's default when empty).
RawHandle foreignPipe(const std::string& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sddl &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE h = CreateNamedPipeW(widen(path).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096, 4096, 0,
                                descriptor ? &attributes : nullptr);
    if (descriptor) LocalFree(descriptor);
    return RawHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

class LocalChannel : public test::ChannelTest {
protected:
    LocalChannel() { path = freshPipe("kanal"); }
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

TEST_F(LocalChannel, PeerIsTheConnectingProcessAndTheAccessListHasLetItIn) {
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    const PeerIdentity peer = server.read([&] { return server.peers[id]; });
    EXPECT_EQ(peer.pid, static_cast<std::int64_t>(GetCurrentProcessId()));
    EXPECT_EQ(peer.uid, 0u);
    EXPECT_EQ(peer.gid, 0u);
    EXPECT_TRUE(peerMayConnect(peer));
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
    // A window about to end waits until what it sent is written; ending right after loses nothing,
    // not even the last piece that a slow service has yet to take from the pipe.
    server.pauseMs = 20;
    c->send(bytes);
    EXPECT_TRUE(c->flush(std::chrono::seconds(10)));
    c.reset();
    EXPECT_TRUE(server.waitFor([&] { return server.closed.count(id) > 0; }));
    EXPECT_EQ(server.read([&] { return server.received[id].size(); }), bytes.size());
    EXPECT_TRUE(server.read([&] { return server.received[id] == bytes; }));
    EXPECT_EQ(server.read([&] { return server.closed[id]; }), "");
}

TEST_F(LocalChannel, ClientThatNeverReadsIsDroppedWhileAnotherIsServed) {
    auto s = listen();
    const RawHandle silent = rawClient(path);
    ASSERT_TRUE(silent);
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

TEST_F(LocalChannel, CloseEndsTheConnectionWithoutAClosedEvent) {
    auto s = listen();
    struct Case {
        bool afterQueued;
        bool everything;  // whether all that was sent before must arrive
    };
    const std::string bytes = pattern(512 * 1024);
    std::size_t n = 0;
    for (const Case& c : {Case{true, true}, Case{false, false}}) {
        ClientSide side;
        auto client = connect(side);
        const ClientId id = nthConnected(++n);
        s->send(id, bytes);
        s->close(id, c.afterQueued);
        s->send(id, "kapandıktan sonra");
        ASSERT_TRUE(side.waitFor([&] { return side.closed.has_value(); })) << c.afterQueued;
        EXPECT_EQ(side.read([&] { return *side.closed; }), "") << c.afterQueued;
        if (c.everything) {
            EXPECT_TRUE(side.read([&] { return side.received == bytes; }));
        }
        EXPECT_TRUE(side.read([&] { return bytes.starts_with(side.received); })) << c.afterQueued;
        EXPECT_EQ(server.read([&] { return server.closed.count(id); }), 0u) << c.afterQueued;
    }
}

TEST_F(LocalChannel, CloseAfterQueuedGivesUpOnAClientThatNeverReads) {
    auto s = listen();
    const RawHandle silent = rawClient(path);
    ASSERT_TRUE(silent);
    const ClientId id = nthConnected(1);
    const std::string bytes = pattern(900 * 1024);
    s->send(id, bytes);
    s->close(id, true);
    // Writing fails once the service closed its end: here after its drain time, never while waiting.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    DWORD written = 0;
    while (WriteFile(silent.get(), "?", 1, &written, nullptr) && std::chrono::steady_clock::now() < deadline)
        Sleep(50);
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the service never closed its end";
    // What the pipe held still arrives, then the end; the rest was given up.
    std::string got;
    std::vector<char> buffer(64 * 1024);
    DWORD n = 0;
    while (ReadFile(silent.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr))
        got.append(buffer.data(), n);
    EXPECT_LT(got.size(), bytes.size());
    EXPECT_TRUE(bytes.starts_with(got));
    EXPECT_EQ(server.read([&] { return server.closed.count(id); }), 0u);
}

TEST_F(LocalChannel, SecondServiceOnTheNameIsRefusedAndTheFirstGoesOn) {
    auto first = listen();
    std::string error;
    EXPECT_EQ(listenOnChannel(path, {}, error), nullptr);
    EXPECT_EQ(error, "Bu kanalda çalışan bir hizmet zaten dinliyor: " + path);
    ClientSide side;
    auto c = connect(side);
    c->send("merhaba");
    const ClientId id = nthConnected(1);
    EXPECT_TRUE(server.waitFor([&] { return server.received[id] == "merhaba"; }));
}

TEST_F(LocalChannel, NameTakenByAnotherProcessIsNotShared) {
    const RawHandle squatter = foreignPipe(path, nullptr);
    ASSERT_TRUE(squatter);
    std::string error;
    EXPECT_EQ(listenOnChannel(path, {}, error), nullptr);
    EXPECT_NE(error, "");
}

TEST_F(LocalChannel, ConnectFailsWithAnErrorWhenNobodyServesIt) {
    // Every instance of this one is taken by a client of the test's own.
    const std::string busy = freshPipe("dolu");
    const RawHandle busyPipe = foreignPipe(busy, nullptr);
    ASSERT_TRUE(busyPipe);
    const RawHandle taker = rawClient(busy);
    ASSERT_TRUE(taker);

    struct Case {
        const char* what;
        std::string path;
        std::chrono::milliseconds timeout;
        std::string error;  // exactly this; any when empty
    };
    for (const Case& c : {
             Case{"nobody listens", freshPipe("yok"), 60s, ""},
             Case{"every instance taken", busy, 300ms, "Kanal yanıt vermedi: " + busy},
             Case{"no pipe", "C:\\zel\\kanal", 60s, "Kanal yolu geçersiz: C:\\zel\\kanal"},
             Case{"no path", "", 60s, "Kanal yolu geçersiz: "},
         }) {
        std::string error;
        const auto began = std::chrono::steady_clock::now();
        EXPECT_EQ(connectToChannel(c.path, c.timeout, {}, error), nullptr) << c.what;
        // Long before the time it was given: nothing that could answer was waited for.
        EXPECT_LT(std::chrono::steady_clock::now() - began, kPatience) << c.what;
        EXPECT_NE(error, "") << c.what;
        if (!c.error.empty()) {
            EXPECT_EQ(error, c.error) << c.what;
        }
    }
}

TEST_F(LocalChannel, RefusalByTheAccessListSaysSo) {
    // A pipe with an empty access list: nobody at all may open it.
    const RawHandle closed = foreignPipe(path, L"D:P");
    ASSERT_TRUE(closed);
    if (rawClient(path)) GTEST_SKIP() << "this system opens a pipe whatever its access list says";
    std::string error;
    EXPECT_EQ(connectToChannel(path, 60s, {}, error), nullptr);
    EXPECT_EQ(error, kChannelRefused);
}

TEST_F(LocalChannel, ListeningNeedsAPipeName) {
    for (const std::string& bad :
         {std::string("C:\\zel\\kanal"), std::string("\\\\.\\pipe\\"), std::string()}) {
        std::string error;
        EXPECT_EQ(listenOnChannel(bad, {}, error), nullptr) << bad;
        EXPECT_EQ(error, "Kanal yolu geçersiz: " + bad);
    }
}

// The access list as the pipe holds it, read through a client's handle.
std::optional<std::string> accessListOf(HANDLE pipe, std::map<std::string, ACCESS_MASK>& entries) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return std::nullopt;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) return std::nullopt;
        wchar_t* sid = nullptr;
        if (!ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &sid)) return std::nullopt;
        entries[narrow(sid)] = allowed->Mask;
        LocalFree(sid);
    }
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr))
        return std::nullopt;
    std::string out = narrow(text);
    LocalFree(text);
    return out;
}

TEST_F(LocalChannel, PipeCarriesTheAccessListAndUsersCannotMakeInstances) {
    auto s = listen();
    const RawHandle client = rawClient(path);
    ASSERT_TRUE(client);
    std::map<std::string, ACCESS_MASK> entries;
    const std::optional<std::string> text = accessListOf(client.get(), entries);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, kChannelPipeAccess);
    EXPECT_EQ(entries, (std::map<std::string, ACCESS_MASK>{{"S-1-5-18", FILE_ALL_ACCESS},
                                                           {"S-1-5-32-544", FILE_ALL_ACCESS},
                                                           {"S-1-5-4", kChannelClientRights}}));
    // What an interactive user's window needs, and not the right to answer in the service's name.
    const ACCESS_MASK user = entries["S-1-5-4"];
    for (const ACCESS_MASK needed :
         std::initializer_list<ACCESS_MASK>{FILE_READ_DATA, FILE_WRITE_DATA, READ_CONTROL, SYNCHRONIZE})
        EXPECT_EQ(user & needed, needed) << std::hex << needed;
    EXPECT_EQ(user & (FILE_CREATE_PIPE_INSTANCE | WRITE_DAC | WRITE_OWNER), 0u);
}

TEST_F(LocalChannel, ClientsBeyondTheCapAreRefusedAndOneLeavingMakesRoom) {
    auto s = listen();
    std::vector<RawHandle> held;
    // 60 clients fit into one wait with the service's own two handles; a 61st would not.
    constexpr std::size_t kCap = 60;
    for (std::size_t i = 0; i < kCap; ++i) {
        held.push_back(rawClient(path));
        ASSERT_TRUE(held.back()) << i;
    }
    nthConnected(kCap);
    ClientSide refused;
    auto extra = connect(refused);
    ASSERT_TRUE(refused.waitFor([&] { return refused.closed.has_value(); }));
    EXPECT_EQ(refused.read([&] { return *refused.closed; }), "");
    EXPECT_EQ(server.read([&] { return server.connected.size(); }), kCap);

    held.front().reset();
    ASSERT_TRUE(server.waitFor([&] { return server.closed.size() == 1; }));
    ClientSide admitted;
    auto next = connect(admitted);
    const ClientId id = nthConnected(kCap + 1);
    s->send(id, "yer açıldı");
    EXPECT_TRUE(admitted.waitFor([&] { return admitted.received == "yer açıldı"; }));
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
    // The name is free again for the next service.
    auto again = listenOnChannel(path, {}, error);
    EXPECT_TRUE(again) << error;
}

}  // namespace
}  // namespace zel
