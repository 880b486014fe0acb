#include "service/service_host.h"
#include "service/service_channel.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "engine/source_listing.h"
#include "support/core/service_fixture.h"
#include "support/core/zip_writer.h"

namespace zel::test {
namespace {

// The channel as the service sees it: what it sent to each client, and whom it closed.
class FakeServer final : public ChannelServer {
public:
    void send(ClientId id, std::string bytes) override {
        readers[id].feed(bytes);
        while (std::optional<Message> m = readers[id].next()) sent[id].push_back(*m);
    }
    void close(ClientId id, bool afterQueued) override { closed[id] = afterQueued; }

    std::map<ClientId, std::vector<Message>> sent;
    std::map<ClientId, bool> closed;

private:
    std::map<ClientId, MessageReader> readers;
};

constexpr std::uint32_t kStranger = 4242, kWatcher = 2000;

class ServiceHostTest : public ServiceFixture {
protected:
    explicit ServiceHostTest(ConnectionFactory database = [] { return std::make_unique<NoDatabase>(); })
        : ServiceFixture(
              [](const PeerIdentity& p) {
                  return p.uid == kStranger ? PeerAccess::Refused
                                            : p.uid == kWatcher ? PeerAccess::Watcher : PeerAccess::Manager;
              },
              std::move(database)) {
        host_.attach(&server);
    }
    ServiceHost& host() {
        if (!started_) {
            started_ = true;
            host_.start();
        }
        return host_;
    }
    // As the channel's thread does it; the service's thread runs what it posted when `run`.
    void connect(ChannelServer::ClientId id, std::uint32_t uid = 1000, bool run = true) {
        host();
        const PeerIdentity peer{uid, uid, 99, std::to_string(uid)};
        if (std::optional<std::string> last = events_.turnAway(peer)) {
            if (!last->empty()) server.send(id, *last);
            server.close(id, !last->empty());
        } else {
            events_.connected(id, peer);
        }
        if (run) queue_.runWaiting();
    }
    void say(ChannelServer::ClientId id, const std::string& bytes, bool run = true) {
        events_.received(id, bytes);
        if (run) queue_.runWaiting();
    }
    void window(ChannelServer::ClientId id, std::uint32_t uid = 1000) {
        connect(id, uid);
        say(id, encodeMessage(helloMessage({"1.0.0", ClientRole::Window})));
    }
    std::vector<std::string> verbs(ChannelServer::ClientId id) {
        std::vector<std::string> all;
        for (const Message& m : server.sent[id]) all.push_back(m.front());
        return all;
    }
    std::string log() const { return readFile(logFile()); }
    FakeServer server;

private:
    ChannelServer::Events events_ = host_.channelEvents();
    bool started_ = false;
};

TEST_F(ServiceHostTest, AWindowGetsEveryValueAndTheOthersChangesAsTheyComeIntoTheFile) {
    window(1);
    window(2);
    ASSERT_FALSE(server.sent[1].empty());
    EXPECT_EQ(server.sent[1].front(), (Message{"welcome", "manager"}));
    // A manager's window also gets the mail settings, last.
    EXPECT_EQ(server.sent[1].size(), 2 + panelSnapshot(ServicePanel({})).size());
    EXPECT_EQ(server.sent[1].back().front(), "mail");
    window(3);
    const std::size_t before = server.sent[3].size();

    // Each change reaches every other window, whichever window made it.
    say(2, encodeMessage({"switch", "0", "0"}));
    say(1, encodeMessage({"source", "1", "c:\\veri"}));
    const std::string settings = readFile(settingsFile());
    EXPECT_NE(settings.find("c:\\veri"), std::string::npos) << settings;
    // The last window hears both changes; a window hears its own back too, which it ignores.
    const std::vector<Message> heard(server.sent[3].begin() + static_cast<long>(before),
                                     server.sent[3].end());
    EXPECT_EQ(heard, (std::vector<Message>{{"switch", "0", "0"}, {"source", "1", "c:\\veri"}}));
    EXPECT_TRUE(server.closed.empty());
}

TEST_F(ServiceHostTest, MailSettingsAreAManagersToChangeAndThePasswordNeverLeavesTheService) {
    window(1, kWatcher);
    window(2);
    window(3);
    EXPECT_NE(server.sent[1].back().front(), "mail");  // a watcher never sees them
    // The second place's fields, then the commands'.
    const Message noRemote{"", "", "", "0", "", "", "", "", "0", "0", "uyum", "", "", "otomatik"};
    auto with = [](Message m, const Message& remote) {
        m.insert(m.end(), remote.begin(), remote.end());
        return m;
    };
    EXPECT_EQ(server.sent[2].back(), with({"mail", "", "587", "starttls", "", "0", "", "", "hata", "", ""}, noRemote));
    const Message save = with({"mailsave", "smtp.ornek.com", "587", "starttls", "yedek@ornek.com", "gizli", "",
                               "bt@ornek.com", "hepsi", "", "https://ornek.com/p"},
                              {"", "", "", "", "", "", "", "", "0", "0", "uyum", "", "", "otomatik"});
    for (ChannelServer::ClientId id : {1, 2, 3}) server.sent[id].clear();

    say(1, encodeMessage(save));
    EXPECT_EQ(server.sent[1], (std::vector<Message>{{"denied", "Bu ayarı değiştirme izniniz yok"}}));
    EXPECT_FALSE(std::filesystem::exists(extraFile()));
    say(2, encodeMessage(save));
    const Message shown = with(
        {"mail", "smtp.ornek.com", "587", "starttls", "yedek@ornek.com", "1", "", "bt@ornek.com", "hepsi", "", "https://ornek.com/p"},
        noRemote);
    EXPECT_EQ(server.sent[2], (std::vector<Message>{shown}));
    EXPECT_EQ(server.sent[3], (std::vector<Message>{shown}));
    EXPECT_EQ(server.sent[1].size(), 1u);
#ifdef _WIN32
    // The service's key protects it: the file never holds it in clear.
    EXPECT_NE(readFile(extraFile()).find("EpostaParola=dpapi:"), std::string::npos);
    EXPECT_EQ(readFile(extraFile()).find("gizli"), std::string::npos);
#else
    EXPECT_NE(readFile(extraFile()).find("EpostaParola=gizli\r\n"), std::string::npos);
#endif

    // A test with the password box left empty uses the kept one; its answer goes to that window.
    Message test = save;
    test[0] = "mailtest";
    test[5] = "";
    say(3, encodeMessage(test));
    ASSERT_TRUE(until([&] { return server.sent[3].size() == 2; }));
    EXPECT_EQ(server.sent[3][1], (Message{"mailtested", "Gönderildi: 250 OK"}));
    EXPECT_EQ(mail.sent().back().password, "gizli");
    Message injected = save;
    injected[7] = "bt@ornek.com\r\nBcc: x@y.com";
    say(2, encodeMessage(injected));
    EXPECT_EQ(server.sent[2].back().front(), "denied");
    // A command whose program nobody vouches for is refused at the save, as a run would refuse it.
    Message command = save;
    command[22] = "/bin/true";
    say(2, encodeMessage(command));
    EXPECT_EQ(server.sent[2].back(), (Message{"denied", "Komut güvenli bir klasörde değil: /bin/true (denetlenemedi)"}));
    EXPECT_EQ(readFile(extraFile()).find("OncekiKomut"), std::string::npos);
    EXPECT_TRUE(server.closed.empty());
    for (const auto& [id, messages] : server.sent)
        for (const Message& m : messages)
            for (const std::string& field : m) EXPECT_EQ(field.find("gizli"), std::string::npos) << id;
    EXPECT_EQ(log().find("gizli"), std::string::npos);

    // The second place's "Deneme" is a manager's too; it answers with its steps.
    std::filesystem::create_directories(drives.drive('d') / "uzak");
    Message trial = save;
    trial[0] = "remotetest";
    trial[11] = "klasor";
    trial[12] = drives.text('d', "uzak");
    say(1, encodeMessage(trial));
    EXPECT_EQ(server.sent[1].back().front(), "denied");
    EXPECT_NE(log().find("Uzak kopya denemesi reddedildi (kullanıcı 2000)"), std::string::npos) << log();
    say(3, encodeMessage(trial));
    ASSERT_TRUE(until([&] { return server.sent[3].back().front() == "remotetested"; }));
    EXPECT_EQ(server.sent[3].back()[1], "Yazma: tamam\nOkuma: tamam\nSilme: tamam");
}

struct BadClient {
    const char* name;
    std::string bytes;
};

class ServiceHostFaults : public ServiceHostTest, public ::testing::WithParamInterface<BadClient> {};

// A client that breaks the rules loses its own connection, with one line in the log; the other
// window and the settings are untouched.
TEST_P(ServiceHostFaults, CostOnlyThatClientItsConnection) {
    window(1);
    connect(2);
    say(2, GetParam().bytes);
    EXPECT_EQ(server.closed.count(2), 1u);
    EXPECT_FALSE(server.closed[2]);
    EXPECT_EQ(server.closed.count(1), 0u);
    EXPECT_NE(log().find("Hizmet bir bağlantıyı kesti"), std::string::npos);
    EXPECT_EQ(log().find("\n2026-01-01"), std::string::npos);  // what it sent stays inside its line
    say(1, "keep\t7\n");
    EXPECT_NE(readFile(extraFile()).find("7"), std::string::npos);
    say(2, "keep\t9\n");  // nothing more from a dropped client counts
    EXPECT_EQ(readFile(extraFile()).find("9"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Channel, ServiceHostFaults,
    ::testing::Values(
        BadClient{"Garbage", "\x01\x02\xFF\xFE\n"}, BadClient{"NoHelloFirst", "run\n"},
        BadClient{"Oversized", std::string(1024 * 1024, 'a')},
        BadClient{"LabelFromAWindow",
                  encodeMessage(helloMessage({"1.0.0", ClientRole::Window})) + "caption\tlblSon\tsahte\n"},
        BadClient{"SwitchOutOfRange",
                  encodeMessage(helloMessage({"1.0.0", ClientRole::Window})) + "switch\t0\t7\n"},
        BadClient{"UnknownVerb",
                  encodeMessage(helloMessage({"1.0.0", ClientRole::Window})) + "format\tc:\n"},
        BadClient{"VerbForgingALogLine", encodeMessage(helloMessage({"1.0.0", ClientRole::Window})) +
                                             "x\\n2026-01-01 00:00:00  Yedekleme kaydı yazıldı\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Warnings nobody saw wait for a manager's window: a watcher sees them and leaves them there, and
// once a manager's window had them they are gone from the file too.
TEST_F(ServiceHostTest, KeptWarningsAreShownToEveryWindowAndClearedOnlyByAManagers) {
    clock.set({2026, 12, 8, 9, 0, 0});
    writeFile(drives.drive('c') / std::string(kKeptWarningsName), "2026-12-08 05:00:00\tZEL Yedek\tYedekleme başarısız\n");
    const Message kept{"warn", "ZEL Yedek", "05:00 Yedekleme başarısız"};
    const auto warned = [&](ChannelServer::ClientId id) {
        return std::count(server.sent[id].begin(), server.sent[id].end(), kept);
    };
    for (const auto [id, uid, shown] : {std::tuple{1, kWatcher, 1}, {2, kWatcher, 1}, {3, 1000u, 1}, {4, kWatcher, 0}}) {
        window(id, uid);
        EXPECT_EQ(warned(id), shown) << id;
    }
    KeptWarnings reread(files, drives.text('c', std::string(kKeptWarningsName)));
    reread.load(clock.now());
    EXPECT_TRUE(reread.all(clock.now()).empty());
}

// A change the service does not make is told to that window, which gets the value back; its
// connection stays, and the file is untouched.
TEST_F(ServiceHostTest, WatchersChangesAndUnsoundValuesAreRefusedWithTheValueSentBack) {
    window(1, kWatcher);
    window(2);
    EXPECT_EQ(server.sent[1].front(), (Message{"welcome", "watcher"}));
    const std::string settingsBefore = readFile(settingsFile());
    const std::string quoteAttack = "c:\\out\" -T -TT \"sh /tmp/x #";
    struct Refusal {
        ChannelServer::ClientId id;
        Message change;
        std::string why;
        Message sentBack;
    };
    for (const Refusal& r : {
             Refusal{1, {"source", "0", "c:\\veri"}, "Bu ayarı değiştirme izniniz yok", {"source", "0", ""}},
             Refusal{1, {"keep", "3"}, "Bu ayarı değiştirme izniniz yok", {"keep", "0"}},
             Refusal{2, {"target", "1", quoteAttack}, "Geçersiz klasör adı: " + quoteAttack, {"target", "1", ""}},
             Refusal{2, {"source", "2", "c:\\a\tb"}, "Geçersiz klasör adı: c:\\a\\x09b", {"source", "2", ""}},
             Refusal{2, {"switch", "0", "2"}, "Geçersiz anahtar değeri: 2", {"switch", "0", "1"}},
         }) {
        server.sent[r.id].clear();
        say(r.id, encodeMessage(r.change));
        EXPECT_EQ(server.sent[r.id], (std::vector<Message>{{"denied", r.why}, r.sentBack})) << r.why;
    }
    EXPECT_EQ(readFile(settingsFile()), settingsBefore);
    EXPECT_TRUE(server.closed.empty());
    EXPECT_NE(log().find("Ayar değişikliği reddedildi (kullanıcı 2000): Bu ayarı"), std::string::npos);
    // A watcher's "Yedekle" runs.
    say(1, encodeMessage({"run"}));
    ASSERT_TRUE(until([&] { return log().find("Yedekleme bitti") != std::string::npos; }));
}

TEST_F(ServiceHostTest, ASilentClientAndAUsersSeventeenthConnectionAreLetGo) {
    connect(1);
    for (int tick = 1; tick < kHelloTicks; ++tick) host().clockTick();
    EXPECT_EQ(server.closed.count(1), 0u);
    host().clockTick();
    EXPECT_EQ(server.closed.count(1), 1u);

    for (ChannelServer::ClientId id = 10; id < 10 + kConnectionsPerUser; ++id) window(id);
    connect(50);
    EXPECT_EQ(server.closed.count(50), 1u);
    EXPECT_TRUE(server.sent[50].empty());
    connect(51);  // told once
    window(60, kWatcher);  // another user is not crowded out
    EXPECT_EQ(server.sent[60].front(), (Message{"welcome", "watcher"}));
    const std::string text = log();
    const std::string crowded = "kullanıcı 1000 için çok fazla bağlantı";
    EXPECT_NE(text.find(crowded), std::string::npos);
    EXPECT_EQ(text.find(crowded), text.rfind(crowded));
    EXPECT_NE(text.find("tanışma iletisi gelmedi"), std::string::npos);
}

TEST_F(ServiceHostTest, AStrangerAndAnotherVersionAreToldWhyAndLetGo) {
    // A flood of a stranger's connections: each is refused on the channel's thread, nothing but
    // one log line waits for the service, and the run log hears of them once a minute.
    clock.set({2026, 12, 8, 9, 0, 0});
    host();
    ASSERT_TRUE(until([&] { return log().find("Veritabanı bağlantısı yok") != std::string::npos; }));
    queue_.runWaiting();
    for (ChannelServer::ClientId id = 100; id < 200; ++id) {
        connect(id, kStranger, false);
        EXPECT_EQ(server.sent[id], std::vector<Message>{{"refused"}});
        EXPECT_TRUE(server.closed[id]);
    }
    EXPECT_EQ(queue_.waiting(), 1u);
    queue_.runWaiting();
    const std::string line = "Hizmete bağlanma reddedildi: kullanıcı " + std::to_string(kStranger);
    EXPECT_EQ(log().find(line), log().rfind(line));  // one line
    clock.set({2026, 12, 8, 9, 1, 0});
    connect(1, kStranger);
    EXPECT_EQ(server.sent[1], std::vector<Message>{{"refused"}});
    EXPECT_EQ(log().rfind(line), log().find(line + " (son satırdan bu yana 100 kez)")) << log();
    connect(2);
    say(2, encodeMessage(helloMessage({"0.9.0", ClientRole::Window})));
    EXPECT_EQ(server.sent[2], (std::vector<Message>{{"version", "1.0.0"}}));
    EXPECT_TRUE(server.closed[2]);
}

// A service that falls behind (a flood from a user it lets in) holds only so much for itself:
// past the bound a new connection is ended at once, and one whose bytes cannot wait is cut.
TEST_F(ServiceHostTest, WhatWaitsForABusyServiceIsBounded) {
    window(1, kWatcher);
    const std::string chunk = encodeMessage({"cancel"});  // nothing to cancel: costs only its turn
    std::size_t sent = 0;
    while (server.closed.count(1) == 0 && sent < 2 * kMostWaitingEvents) {
        say(1, chunk, false);
        ++sent;
    }
    EXPECT_EQ(sent, kMostWaitingEvents + 1);
    EXPECT_FALSE(server.closed[1]);  // cut at once, not after its queue
    connect(3, kWatcher, false);
    EXPECT_FALSE(server.closed[3]);
    EXPECT_TRUE(server.sent[3].empty());
    queue_.runWaiting();
    EXPECT_NE(log().find("Hizmet bir bağlantıyı kesti: hizmet yetişemiyor"), std::string::npos);
    window(4, kWatcher);  // caught up, it serves as before
    EXPECT_EQ(server.sent[4].front(), (Message{"welcome", "watcher"}));
}

TEST_F(ServiceHostTest, TheShellGetsTheStateOrARunWithItsLinesAndOutcome) {
    connect(1);
    say(1, encodeMessage(helloMessage({"1.0.0", ClientRole::Status})));
    ASSERT_FALSE(server.sent[1].empty());
    EXPECT_EQ(server.sent[1].back(), (Message{"done", "0"}));
    ASSERT_GE(server.sent[1].size(), 2u);
    EXPECT_EQ(server.sent[1][0], (Message{"line", "TAMAM: henüz yedek yok | son_yedek_yas=U;46800;50400;0 uyari=0;;;0"}));
    EXPECT_EQ(server.sent[1][1], (Message{"line", "Son yedekleme: yok"}));

    window(3);
    std::filesystem::create_directories(drives.drive('c') / "yedek");
    say(3, encodeMessage({"source", "0", sourceWithAFile()}) +
               encodeMessage({"target", "0", drives.text('c', "yedek")}));
    connect(2);
    say(2, encodeMessage(helloMessage({"1.0.0", ClientRole::Run})));
    ASSERT_TRUE(until([&] { return server.closed.count(2) > 0; }));
    // Without a database nothing is recorded: the shell hears the run and exit code 1.
    EXPECT_EQ(server.sent[2].back(), (Message{"done", "1"}));
    EXPECT_EQ(verbs(2).front(), "welcome");
    bool pairLine = false;
    for (const Message& m : server.sent[2])
        pairLine |= m.size() == 2 && m[1].find("brevund") != std::string::npos;
    EXPECT_TRUE(pairLine);
    EXPECT_TRUE(server.closed[2]);
    // The window saw the button as it was, then the run come and go on it.
    std::vector<Message> copy;
    for (const Message& m : server.sent[3])
        if (m.front() == "copy") copy.push_back(m);
    EXPECT_EQ(copy, (std::vector<Message>{{"copy", "1"}, {"copy", "0"}, {"copy", "1"}}));
}

// A watcher may back up, never age out: with one archive to keep, a watcher's "Yedekle" and
// "--yedekle" leave the earlier archives, and a manager's run deletes what is beyond the number.
TEST_F(ServiceHostTest, AWatchersRunDeletesNoOldArchive) {
    window(1);
    window(2, kWatcher);
    const std::filesystem::path target = drives.drive('c') / "yedek";
    say(1, encodeMessage({"source", "0", sourceWithAFile()}) +
               encodeMessage({"target", "0", drives.text('c', "yedek")}) + encodeMessage({"keep", "1"}));
    const std::string earlier =
        zipArchive({{zipEntryPrefix(sourceWithAFile(), nativeZipNaming()) + "/veri.txt", "eski"}});
    writeFile(target / "yedek20240301.0500.zip", earlier);
    writeFile(target / "yedek20240302.0500.zip", earlier);
    const auto archives = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(target)) n += e.path().extension() == ".zip";
        return n;
    };
    clock.set({2024, 3, 5, 10, 0, 0});
    say(2, encodeMessage({"run"}));
    EXPECT_TRUE(until([&] { return archives() == 3; })) << archives();
    clock.set({2024, 3, 5, 10, 1, 0});
    connect(5, kWatcher);
    say(5, encodeMessage(helloMessage({"1.0.0", ClientRole::Run})));
    EXPECT_TRUE(until([&] { return archives() == 4; })) << archives();
    clock.set({2024, 3, 5, 10, 2, 0});
    say(1, encodeMessage({"run"}));
    EXPECT_TRUE(until([&] { return archives() == 1; })) << archives();
    EXPECT_TRUE(std::filesystem::exists(target / "yedek20240305.1002.zip"));
}

// The history's first record waits until the test lets it go, and then is written; every later
// one fails.
struct GatedHistory {
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    int records = 0;
};
struct GatedDatabase final : DatabaseConnection {
    explicit GatedDatabase(GatedHistory& h) : h(h) {}
    GatedHistory& h;
    void open(const std::string&) override {}
    int state() const override { return 1; }
    QueryResult execute(const std::string& sql) override {
        if (sql.find("SELECT zelParameterValue") == std::string::npos) return {};
        std::unique_lock lock(h.m);
        if (++h.records > 1) throw DatabaseError("yazılamadı", "42000");
        h.cv.wait(lock, [&] { return h.released; });
        return {};
    }
};

class ServiceHostRecordTest : public ServiceHostTest {
protected:
    ServiceHostRecordTest() : ServiceHostTest([this] { return std::make_unique<GatedDatabase>(history); }) {}
    ~ServiceHostRecordTest() override { release(); }  // a failed test must not leave the record waiting
    void release() {
        {
            std::lock_guard lock(history.m);
            history.released = true;
        }
        history.cv.notify_all();
    }
    std::size_t runsEnded() const {
        const std::string text = log();
        std::size_t n = 0;
        for (std::size_t at = text.find("Yedekleme bitti"); at != std::string::npos; at = text.find("Yedekleme bitti", at + 1)) ++n;
        return n;
    }

    GatedHistory history;
};

// A record still queued from an earlier run must not answer for the shell's own run.
TEST_F(ServiceHostRecordTest, AShellRunHearsItsOwnRecordNotAnEarlierOne) {
    std::filesystem::create_directories(drives.drive('c') / "yedek");
    window(1);
    say(1, encodeMessage({"source", "0", sourceWithAFile()}) + encodeMessage({"target", "0", drives.text('c', "yedek")}));
    say(1, encodeMessage({"run"}));  // its record, written in the end, waits in the database meanwhile
    ASSERT_TRUE(until([&] { return runsEnded() == 1; }));
    connect(2);
    say(2, encodeMessage(helloMessage({"1.0.0", ClientRole::Run})));
    ASSERT_TRUE(until([&] { return runsEnded() == 2; }));
    release();
    ASSERT_TRUE(until([&] { return server.closed.count(2) > 0; }));
    EXPECT_EQ(server.sent[2].back(), (Message{"done", "1"}));  // its own record failed
    EXPECT_NE(log().find("Yedekleme kaydı veritabanına yazıldı"), std::string::npos);
}

// A name another program holds costs the windows only: the service tells it once, goes on, and
// opens its channel at a later tick.
TEST_F(ServiceHostTest, AChannelThatCannotBeOpenedIsToldOnceAndTriedAgain) {
    int attempts = 0;
    bool busy = true;
    ServiceChannel channel(
        host(),
        [&](ChannelServer::Events, std::string& error) -> std::unique_ptr<ChannelServer> {
            ++attempts;
            if (!busy) return std::make_unique<FakeServer>();
            error = "\\\\.\\pipe\\ZELYedek-x: Erişim engellendi";
            return nullptr;
        },
        [this](const std::string& line) { host_.log(line); });
    channel.keepOpen();
    channel.keepOpen();
    EXPECT_FALSE(channel.open());
    busy = false;
    channel.keepOpen();
    channel.keepOpen();
    EXPECT_TRUE(channel.open());
    EXPECT_EQ(attempts, 3);
    const std::string told = "Pencere kanalı açılamadı: \\\\.\\pipe\\ZELYedek-x: Erişim engellendi";
    EXPECT_NE(log().find(told), std::string::npos) << log();
    EXPECT_EQ(log().find(told), log().rfind(told));
    EXPECT_NE(log().find("Pencere kanalı açıldı"), std::string::npos);
}

TEST_F(ServiceHostTest, StartAndStopAreLogged) {
    host();
    host().stop();
    const std::string text = log();
    EXPECT_LT(text.find("Hizmet başladı"), text.find("Hizmet durduruldu"));
    EXPECT_EQ(systemLog.kinds(), (std::vector<SystemEvent>{SystemEvent::ServiceStarted, SystemEvent::ServiceStopped}));
}

}  // namespace
}  // namespace zel::test
