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

#include "platform/system/wide_text_win.h"
#include "support/core/channel_sides.h"
#include "support/core/raw_pipe_win.h"
#include "transport/local_channel.h"
#include "transport/local_channel_win.h"

namespace zel {
namespace {

using namespace std::chrono_literals;
using namespace test;

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

TEST_F(LocalChannel, PeerIsTheConnectingProcessAndTheAccessListHasLetItIn) {
    auto s = listen();
    ClientSide side;
    auto c = connect(side);
    const ClientId id = nthConnected(1);
    const PeerIdentity peer = server.read([&] { return server.peers[id]; });
    EXPECT_EQ(peer.pid, static_cast<std::int64_t>(GetCurrentProcessId()));
    EXPECT_EQ(peer.uid, 0u);
    EXPECT_EQ(peer.gid, 0u);
    // The client's own token, read through the pipe: this process's user, an administrator as far
    // as the system's own membership check says (Wine gives every process an administrator's token).
    std::vector<BYTE> user(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
    HANDLE token = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size));
    CloseHandle(token);
    LPWSTR sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid));
    EXPECT_EQ(peer.user, narrow(sid));
    LocalFree(sid);
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    size = sizeof administrators;
    BOOL member = FALSE;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    ASSERT_TRUE(CheckTokenMembership(nullptr, administrators, &member));
    EXPECT_EQ(peer.administrator, member != FALSE);
    EXPECT_EQ(peerAccess(peer), member ? PeerAccess::Manager : PeerAccess::Watcher);
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

}  // namespace
}  // namespace zel
