// The service behind its real named pipe, with clients that break the rules: each costs only its
// own connection, and a window that behaves keeps getting every change.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/system/wide_text_win.h"
#include "service/channel_path.h"
#include "support/core/service_fixture.h"

namespace zel::test {
namespace {

// A client as a careless program writes one: a plain pipe handle, written to and never read.
struct RawClient {
    explicit RawClient(const std::string& pipe) {
        WaitNamedPipeW(widen(pipe).c_str(), 5000);
        handle = CreateFileW(widen(pipe).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    }
    ~RawClient() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    // Writes until the service hangs up or `bytes` are all written; false once it hung up.
    bool write(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 64 * 1024));
            if (!WriteFile(handle, bytes.data() + at, piece, &written, nullptr)) return false;
            at += written;
        }
        return true;
    }
    // True once the service has closed its end.
    bool hungUp() const {
        DWORD available = 0;
        return !PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr);
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
};

class ServicePipeTest : public ServiceFixture {
protected:
    ServicePipeTest() : ServiceFixture([](const PeerIdentity& p) { return peerAccess(p); }) {
        std::string error;
        server_ = listenOnChannel(pipe, host_.channelEvents(), error);
        EXPECT_TRUE(server_) << error;
        host_.attach(server_.get());
        host_.start();
    }
    ~ServicePipeTest() override {
        host_.attach(nullptr);
        server_.reset();
    }
    int drops() const {
        const std::string log = readFile(logFile());
        int n = 0;
        for (std::size_t at = log.find("Hizmet bir bağlantıyı kesti"); at != std::string::npos;
             at = log.find("Hizmet bir bağlantıyı kesti", at + 1))
            ++n;
        return n;
    }

    const std::string pipe =
        pipeChannelPath("zelyedek-" + std::to_string(GetCurrentProcessId()) + "0000test");

private:
    std::unique_ptr<ChannelServer> server_;
};

TEST_F(ServicePipeTest, GarbageTooMuchAndANonReaderCostOnlyTheirOwnConnections) {
    // A window that behaves, through the program's own client.
    std::mutex mutex;
    MessageReader heard;
    std::string error;
    auto window = connectToChannel(pipe, std::chrono::seconds(5),
                                   {[&](std::string bytes) {
                                        std::lock_guard lock(mutex);
                                        heard.feed(bytes);
                                    },
                                    [](const std::string&) {}},
                                   error);
    ASSERT_TRUE(window) << error;
    window->send(encodeMessage(helloMessage({"1.0.0", ClientRole::Window})));

    RawClient garbage(pipe);
    garbage.write("\x01\xfe garbage\n");
    EXPECT_TRUE(until([&] { return garbage.hungUp(); }));

    RawClient tooMuch(pipe);
    tooMuch.write(std::string(1024 * 1024, 'a'));  // the service hangs up long before the end
    EXPECT_TRUE(until([&] { return tooMuch.hungUp(); }));

    RawClient silent(pipe);
    silent.write(encodeMessage(helloMessage({"1.0.0", ClientRole::Window})));
    // Long folder texts from the good window, one after the other, each sent to every window: the
    // silent one's queue passes its limit and it is dropped; the good one hears every change.
    const auto heardBack = [&](const std::string& text) {
        return until([&] {
            std::lock_guard lock(mutex);
            while (std::optional<Message> m = heard.next())
                if (m->size() == 3 && (*m)[0] == "source" && (*m)[2] == text) return true;
            return false;
        });
    };
    std::string last;
    // (The silent one's hang-up shows only behind what it never read: the log tells instead.)
    for (int i = 0; i < 40 && drops() < 3; ++i) {
        last.assign(60 * 1024, static_cast<char>('a' + i % 26));
        window->send(encodeMessage({"source", "1", last}));
        ASSERT_TRUE(heardBack(last)) << "change " << i;
    }
    EXPECT_EQ(drops(), 3);
    EXPECT_NE(readFile(settingsFile()).find(last), std::string::npos);
}

}  // namespace
}  // namespace zel::test
