#include "mail/mail_outbox.h"

#include <gtest/gtest.h>

#include "mail/mailer.h"
#include "support/core/fake_clock.h"
#include "support/core/fake_mail.h"
#include "support/core/window_queue.h"

namespace zel::test {
namespace {

using namespace std::chrono_literals;

struct Drops {
    std::mutex mutex;
    std::vector<std::string> lines;
    void add(const std::string& subject, const std::string& why, std::optional<std::chrono::milliseconds> retry) {
        std::lock_guard lock(mutex);
        lines.push_back(subject + ": " + why + (retry ? " +" + std::to_string(retry->count()) + "ms" : ""));
    }
    std::vector<std::string> all() {
        std::lock_guard lock(mutex);
        return lines;
    }
};

OutgoingMail mailTo(const std::string& to) {
    OutgoingMail m;
    m.recipients = {to};
    return m;
}

TEST(MailOutbox, AFailedMailIsTriedAfterEachWaitThenDroppedWithTheLastAnswer) {
    FakeMail server;
    server.answer({{false, "421 meşgul"}, {false, "421 meşgul"}, {false, "535 5.7.8 red"}});
    Drops drops;
    MailOutbox outbox(server, {20ms, 40ms}, [&](const std::string& s, const std::string& w, auto r) { drops.add(s, w, r); });
    const auto start = std::chrono::steady_clock::now();
    outbox.send(mailTo("a@b.com"), "konu");
    ASSERT_TRUE(server.waitFor(3));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);  // both waits passed before the third try
    for (int i = 0; i < 200 && drops.all().size() < 3; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(drops.all(), (std::vector<std::string>{"konu: 421 meşgul +20ms", "konu: 421 meşgul +40ms",
                                                     "konu: 535 5.7.8 red"}));

    // One that gets through on its second try is not dropped; a test mail jumps the queue.
    server.answer({{false, "421"}});
    outbox.send(mailTo("c@d.com"), "ikinci");
    ASSERT_TRUE(server.waitFor(4));
    std::atomic<bool> answered{false};
    outbox.test(mailTo("test@d.com"), [&](const MailSent& sent) { answered = sent.ok; });
    ASSERT_TRUE(server.waitFor(6));
    EXPECT_EQ(server.sent()[4].recipients.front(), "test@d.com");
    EXPECT_EQ(server.sent()[5].recipients.front(), "c@d.com");
    EXPECT_TRUE(outbox.stop(1s).empty());
    EXPECT_TRUE(answered);
    EXPECT_EQ(drops.all().size(), 4u);  // and the second mail's one failed try
}

TEST(MailOutbox, TheStopGivesQueuedMailItsGraceAndCutsAHangingServerOff) {
    FakeMail server;
    // The first mail waits for a retry half an hour away: the stop tries it once more, now.
    server.answer({{false, "421 meşgul"}});
    MailOutbox outbox(server, {30min}, [](const std::string&, const std::string&, auto) {});
    outbox.send(mailTo("a@b.com"), "bekleyen");
    ASSERT_TRUE(server.waitFor(1));
    server.answer({{true, "250"}, {false, "yok"}}, 0ms);
    EXPECT_TRUE(outbox.stop(1s).empty());
    EXPECT_EQ(server.sent().size(), 2u);

    FakeMail hanging;
    hanging.answer({}, 1h);
    MailOutbox stuck(hanging, {}, [](const std::string&, const std::string&, auto) {});
    stuck.send(mailTo("a@b.com"), "asılı");
    stuck.send(mailTo("c@d.com"), "sırada");
    ASSERT_TRUE(hanging.waitFor(1));
    const auto start = std::chrono::steady_clock::now();
    const auto unsent = stuck.stop(200ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(unsent, (std::vector<std::pair<std::string, std::string>>{{"asılı", "durduruldu"}, {"sırada", "program kapandı"}}));
    stuck.send(mailTo("e@f.com"), "sonra");  // after the stop nothing is taken
    EXPECT_EQ(hanging.sent().size(), 1u);
}

TEST(Mailer, AMailGivenUpOnIsToldOnTheMachinesThreadAndAStoredPasswordItCannotReadIsToo) {
    FakeMail server;
    server.answer({{false, "535 5.7.8 Authentication credentials invalid"}});
    FakeClock clock;
    WindowQueue machineThread;
    std::vector<std::string> told;
    Mailer mailer({&server, clock, [] { return std::string("PC"); },
                   machineThread.poster(),
                   [&](const std::string& line) { told.push_back(line); }, [](const std::string&) {},
                   [] { return std::string("HATA: x"); }, {}});
    MailSettings s;
    s.server = "smtp.ornek.com";
    s.user = "yedek@ornek.com";
    s.password = "gizli";
    s.to = "bt@ornek.com";
    mailer.setSettings(s);
    mailer.runEnded({true, {"satır"}, {}});
    ASSERT_TRUE(machineThread.runUntil([&] { return !told.empty(); }, 5s));
    EXPECT_EQ(told, (std::vector<std::string>{
                        "E-posta gönderilemedi: 535 5.7.8 Authentication credentials invalid "
                        "([ZEL Yedek] PC: Yedekleme başarısız)"}));
    ASSERT_EQ(server.sent().size(), 1u);
    EXPECT_EQ(server.sent()[0].password, "gizli");
    EXPECT_EQ(server.sent()[0].sender, "yedek@ornek.com");

    // A blob from Windows (or another user) is no password here: nothing is sent with it.
    s.password = "dpapi:AAAA";
    mailer.setSettings(s);
    told.clear();
    mailer.runEnded({true, {"satır"}, {}});
#ifndef _WIN32
    EXPECT_EQ(told.size(), 1u);
    EXPECT_NE(told.front().find("parolayı yeniden girin"), std::string::npos);
#endif
    EXPECT_EQ(mailer.stop().size(), 0u);
    EXPECT_EQ(server.sent().size(), 1u);
}

}  // namespace
}  // namespace zel::test
