#include "service/window_client.h"

#include <gtest/gtest.h>

#include "support/core/fake_front_end.h"
#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

// The service's end as a window client meets it: what the window sent, and a way to answer.
struct FakeChannel final : ChannelClient {
    explicit FakeChannel(ChannelClient::Events e) : events(std::move(e)) {}
    void send(std::string bytes) override {
        reader.feed(bytes);
        while (std::optional<Message> m = reader.next()) sent.push_back(*m);
    }
    bool flush(std::chrono::milliseconds) override { return true; }
    ChannelClient::Events events;
    MessageReader reader;
    std::vector<Message> sent;
};

class WindowClientTest : public ::testing::Test {
protected:
    WindowClientTest() {
        view.attach(form);
        client.setRunCalls([this] { form.restoreWindow(); }, [this] { form.setWindowState(1); });
    }
    // The service answers (or not) the next time the window connects.
    ChannelConnector connector() {
        return [this](ChannelClient::Events events, std::string& error) -> std::unique_ptr<ChannelClient> {
            ++attempts;
            if (refusedByTheSystem) {
                error = std::string(kChannelRefused);
                return nullptr;
            }
            if (!serviceUp) {
                error = "yok";
                return nullptr;
            }
            auto channel = std::make_unique<FakeChannel>(std::move(events));
            channel_ = channel.get();
            return channel;
        };
    }
    void answer(const std::vector<Message>& messages) {
        std::string bytes;
        for (const Message& m : messages) bytes += encodeMessage(m);
        channel_->events.received(bytes);
        view.runPosted();
    }
    void hangUp() {
        channel_->events.closed("");
        view.runPosted();
    }
    std::vector<Message>& sent() { return channel_->sent; }

    bool serviceUp = true;
    bool refusedByTheSystem = false;  // the pipe's access list or the socket's folder
    int attempts = 0;
    FakeFrontEnd view;
    FakeInstance instance;
    WindowClient client{"1.0.0", connector(), view};
    frmMain form{instance, view, client};

private:
    FakeChannel* channel_ = nullptr;
};

TEST_F(WindowClientTest, ShowsTheServicesValuesAndSendsOnlyWhatTheUserDid) {
    form.Form_Load();
    EXPECT_EQ(sent(), std::vector<Message>{helloMessage({"1.0.0", ClientRole::Window})});
    EXPECT_EQ(view.controlAccess, ControlAccess::None);  // nothing to show until the service's values are in
    answer({{"welcome", "manager"},
            {"switch", "1", "1"},
            {"time", "1", "05:00:00"},
            {"source", "0", "d:\\veri"},
            {"caption", "lblTime", "09:07:00"}});
    EXPECT_EQ(view.controlAccess, ControlAccess::All);
    EXPECT_EQ(view.caption(Caption::frmMain), "ZEL Yedek");
    EXPECT_EQ(view.switches[1], 1);
    EXPECT_EQ(view.sourceText(0), "d:\\veri");
    EXPECT_EQ(view.caption(Caption::lblTime), "09:07:00");
    EXPECT_EQ(sent().size(), 1u);  // the service's values are not sent back

    view.setSwitchValue(2, 1);
    view.setSourceText(3, "e:\\arsiv");
    form.txtKaynak_LostFocus(3);
    form.cmdCopy_Click();
    view.setCaption(Caption::cmdExit, "İptal");
    form.cmdExit_Click();
    EXPECT_EQ(
        std::vector<Message>(sent().begin() + 1, sent().end()),
        (std::vector<Message>{{"switch", "2", "1"}, {"source", "3", "e:\\arsiv"}, {"run"}, {"cancel"}}));
}

TEST_F(WindowClientTest, WithoutTheServiceTheWindowWaitsGreyedAndComesBackByItself) {
    serviceUp = false;
    form.Form_Load();
    EXPECT_EQ(view.caption(Caption::lblInfo), "Yedekleme hizmeti çalışmıyor");
    EXPECT_EQ(view.controlAccess, ControlAccess::None);
    view.setSwitchValue(0, 1);  // a change made meanwhile goes nowhere
    EXPECT_EQ(attempts, 1);

    serviceUp = true;
    form.Timer5_Timer();
    answer({{"welcome", "manager"}, {"switch", "0", "0"}, {"caption", "lblInfo", "Son kontrol: 09:07"}});
    EXPECT_EQ(view.controlAccess, ControlAccess::All);
    EXPECT_EQ(view.switches[0], 0);
    hangUp();
    EXPECT_EQ(view.caption(Caption::lblInfo), "Yedekleme hizmeti çalışmıyor");
    EXPECT_EQ(view.controlAccess, ControlAccess::None);
    form.Timer5_Timer();
    EXPECT_EQ(attempts, 3);
    form.Timer5_Timer();
    EXPECT_EQ(attempts, 3);  // connected again: no further attempt
}

TEST_F(WindowClientTest, AScheduledRunShowsTheWindowAndWarningsReachTheTray) {
    form.Form_Load();
    answer({{"welcome", "manager"}, {"show"}});
    EXPECT_TRUE(view.visible);
    answer({{"warn", "ZEL Yedek", "Hedef klasör kaynağın içinde"}, {"hide"}});
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(view.warnings, std::vector<std::string>{"ZEL Yedek: Hedef klasör kaynağın içinde"});
    // Several at once (those kept while no window was there) take their turns, one a tick, so
    // that none hides the one before it.
    answer({{"warn", "ZEL Yedek", "05:00 a"}, {"warn", "ZEL Yedek", "06:00 b"}});
    EXPECT_EQ(view.warnings.size(), 1u);
    form.Timer5_Timer();
    form.Timer5_Timer();
    form.Timer5_Timer();
    EXPECT_EQ(view.warnings, (std::vector<std::string>{"ZEL Yedek: Hedef klasör kaynağın içinde",
                                                       "ZEL Yedek: 05:00 a", "ZEL Yedek: 06:00 b"}));
}

// A watcher's window keeps "Yedekle" and says whose it is; a change the service refused is told
// at the tray and the value the service sends back replaces the user's.
TEST_F(WindowClientTest, AWatchersWindowRunsButShowsTheServicesValues) {
    form.Form_Load();
    answer({{"welcome", "watcher"}, {"source", "0", "d:\\veri"}});
    EXPECT_EQ(view.controlAccess, ControlAccess::RunOnly);
    EXPECT_EQ(view.caption(Caption::frmMain), "ZEL Yedek (izleme)");
    view.setSourceText(0, "e:\\x");
    form.txtKaynak_LostFocus(0);
    answer({{"denied", "Bu ayarı değiştirme izniniz yok"}, {"source", "0", "d:\\veri"}});
    EXPECT_EQ(view.sourceText(0), "d:\\veri");
    EXPECT_EQ(view.warnings, std::vector<std::string>{"ZEL Yedek: Bu ayarı değiştirme izniniz yok"});
    EXPECT_EQ(view.ends, 0);
    answer({{"welcome", "someone"}});  // no such access: no service talks like that
    EXPECT_EQ(view.caption(Caption::lblInfo), "Yedekleme hizmeti çalışmıyor");
}

TEST_F(WindowClientTest, TheMailDialogShowsTheServicesSettingsAndSendsItsActions) {
    form.Form_Load();
    answer({{"welcome", "manager"},
            {"mail", "smtp.ornek.com", "465", "tls", "yedek", "1", "y@o.com", "bt@o.com", "hepsi", "c:\\metrik", "", "s3",
             "https://s3.ornek.com", "anahtar", "1", "eu-central-1", "kova", "ofis/", "", "0", "30", "uyum",
             "/usr/local/sbin/db-durdur --hizli", "", "zorunlu"}});
    std::string answered, tried;
    view.inMailDialog = [&](const MailForm& shown, MailDialogCalls& calls) {
        EXPECT_EQ(shown.values.server, "smtp.ornek.com");
        EXPECT_EQ(shown.values.security, MailSecurity::Tls);
        EXPECT_TRUE(shown.passwordSet);
        EXPECT_EQ(shown.watch.metricsFolder, "c:\\metrik");
        EXPECT_EQ(shown.remote.kind, RemoteKind::S3);
        EXPECT_EQ(shown.remote.lockDays, 30);
        EXPECT_EQ(shown.remote.keep, std::nullopt);
        EXPECT_TRUE(shown.secretSet);
        EXPECT_EQ(shown.commands, (RunCommandSettings{"/usr/local/sbin/db-durdur --hizli", "", ShadowCopyMode::Required}));
        MailForm edited = shown;
        edited.values.password = "yeni";
        EXPECT_EQ(calls.save(edited), "");
        edited.values.to = "kimse";
        EXPECT_EQ(calls.save(edited), "Alıcı adresi geçersiz: kimse");  // told at once, not sent
        calls.test(shown, [&](const std::string& text) { answered = text; });
        calls.trial(shown, [&](const std::string& text) { tried = text; });
    };
    form.cmdEposta_Click();
    ASSERT_EQ(view.said.back(), "mail dialog");
    const Message remote{"s3",    "https://s3.ornek.com", "anahtar", "", "eu-central-1", "kova", "ofis/", "", "0", "30",
                         "uyum", "/usr/local/sbin/db-durdur --hizli", "", "zorunlu"};
    auto with = [&](Message m) {
        m.insert(m.end(), remote.begin(), remote.end());
        return m;
    };
    EXPECT_EQ(std::vector<Message>(sent().end() - 3, sent().end()),
              (std::vector<Message>{with({"mailsave", "smtp.ornek.com", "465", "tls", "yedek", "yeni", "y@o.com",
                                          "bt@o.com", "hepsi", "c:\\metrik", ""}),
                                    with({"mailtest", "smtp.ornek.com", "465", "tls", "yedek", "", "y@o.com", "bt@o.com",
                                          "hepsi", "c:\\metrik", ""}),
                                    with({"remotetest", "smtp.ornek.com", "465", "tls", "yedek", "", "y@o.com",
                                          "bt@o.com", "hepsi", "c:\\metrik", ""})}));
    answer({{"mailtested", "Gönderildi: 250 OK"}, {"remotetested", "Yazma: tamam"}});
    EXPECT_EQ(answered, "Gönderildi: 250 OK");
    EXPECT_EQ(tried, "Yazma: tamam");

    // A test still waiting when the service goes hears so; without the service there is no dialog.
    form.cmdEposta_Click();
    hangUp();
    EXPECT_EQ(answered, "Gönderilemedi: hizmetle bağlantı kesildi");
    view.said.clear();
    form.cmdEposta_Click();
    EXPECT_TRUE(view.said.empty());
}

struct Refusal {
    Message message;
    std::string text;
};

class WindowClientRefusals : public WindowClientTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(WindowClientRefusals, SayWhyAndEndTheWindow) {
    refusedByTheSystem = GetParam().message.empty();
    form.Form_Load();
    if (!refusedByTheSystem) answer({GetParam().message});
    EXPECT_EQ(view.said.front(), "message " + GetParam().text);
    EXPECT_EQ(view.ends, 1);
    EXPECT_FALSE(view.trayPresent);
}

INSTANTIATE_TEST_SUITE_P(Channel, WindowClientRefusals,
                         ::testing::Values(Refusal{{"refused"}, "Bu hizmete bağlanma izniniz yok"},
                                           Refusal{{"version", "2.0.0"}, "Hizmetin sürümü farklı: 2.0.0"},
                                           Refusal{{}, "Bu hizmete bağlanma izniniz yok"}));

}  // namespace
}  // namespace zel::test
