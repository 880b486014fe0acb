#include "service/shell_command.h"

#include <gtest/gtest.h>

#include <thread>

namespace zel {
namespace {

// A service that answers the shell's hello with `answer`, from its own thread as a channel does;
// then it hangs up (`hangUp`) or stays.
struct ScriptedService final : ChannelClient {
    ScriptedService(Events e, std::string bytes, bool hangUp)
        : events(std::move(e)), answer(std::move(bytes)), hangUp(hangUp) {}
    ~ScriptedService() override {
        if (replying.joinable()) replying.join();
    }
    void send(std::string bytes) override {
        hello += bytes;
        replying = std::thread([this] {
            if (!answer.empty()) events.received(answer);
            if (hangUp) events.closed("");
        });
    }
    bool flush(std::chrono::milliseconds) override { return true; }
    Events events;
    std::string answer;
    bool hangUp;
    std::string hello;
    std::thread replying;
};

struct ShellCase {
    const char* name;
    ClientRole role;
    std::vector<Message> answer;  // empty and no hang-up: nobody answers at all
    bool hangUp;
    bool serviceThere;
    int code;
    std::string out;
    std::string err;
};

class ShellCommands : public ::testing::TestWithParam<ShellCase> {};

TEST_P(ShellCommands, PrintTheServicesLinesAndEndWithItsCode) {
    const ShellCase& c = GetParam();
    std::string bytes;
    for (const Message& m : c.answer) bytes += encodeMessage(m);
    const ChannelConnector connect = [&](ChannelClient::Events events,
                                         std::string& error) -> std::unique_ptr<ChannelClient> {
        if (!c.serviceThere) {
            error = "yok";
            return nullptr;
        }
        return std::make_unique<ScriptedService>(std::move(events), bytes, c.hangUp);
    };
    std::string out, err;
    const int code = runShellCommand(
        c.role, "1.0.0", connect, [&](std::string_view t) { out += t; },
        [&](std::string_view t) { err += t; }, std::chrono::milliseconds(500));
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Service, ShellCommands,
    ::testing::Values(
        ShellCase{"Status",
                  ClientRole::Status,
                  {{"line", "Son yedekleme: yok"}, {"line", "Yedekleme: beklemede"}, {"done", "0"}},
                  false,
                  true,
                  0,
                  "Son yedekleme: yok\nYedekleme: beklemede\n",
                  ""},
        ShellCase{"RunRecorded",
                  ClientRole::Run,
                  {{"welcome"}, {"line", "Yedekleme bitti"}, {"done", "0"}},
                  false,
                  true,
                  0,
                  "Yedekleme bitti\n",
                  ""},
        ShellCase{"RunNotRecorded", ClientRole::Run, {{"welcome"}, {"done", "1"}}, false, true, 1, "", ""},
        // A status passes the service's code on as monitoring reads it; a run knows only 0 and 1.
        ShellCase{"StatusWarning", ClientRole::Status, {{"line", "UYARI: x"}, {"done", "1"}}, false, true, 1,
                  "UYARI: x\n", ""},
        ShellCase{"StatusFailure", ClientRole::Status, {{"done", "2"}}, false, true, 2, "", ""},
        ShellCase{"StatusNonsense", ClientRole::Status, {{"done", "7"}}, false, true, 3, "", ""},
        ShellCase{"RunNonsense", ClientRole::Run, {{"welcome"}, {"done", "2"}}, false, true, 1, "", ""},
        ShellCase{"RunCutShort",
                  ClientRole::Run,
                  {{"welcome"}, {"line", "Yedekleme başladı"}},
                  true,
                  true,
                  1,
                  "Yedekleme başladı\n",
                  "Yedekleme hizmeti çalışmıyor\n"},
        ShellCase{
            "NoService", ClientRole::Status, {}, false, false, 3, "", "Yedekleme hizmeti çalışmıyor: yok\n"},
        ShellCase{
            "StatusNeverComes", ClientRole::Status, {}, false, true, 3, "", "Yedekleme hizmeti çalışmıyor\n"},
        ShellCase{"Refused",
                  ClientRole::Status,
                  {{"refused"}},
                  true,
                  true,
                  3,
                  "",
                  "Bu hizmete bağlanma izniniz yok\n"},
        ShellCase{"OtherVersion",
                  ClientRole::Run,
                  {{"version", "2.0.0"}},
                  true,
                  true,
                  3,
                  "",
                  "Hizmetin sürümü farklı: 2.0.0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zel
