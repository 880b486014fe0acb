#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/core/decoded_mail.h"
#include "support/core/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

// A database that takes every record.
struct TakingDatabase final : DatabaseConnection {
    void open(const std::string&) override {}
    int state() const override { return 1; }
    QueryResult execute(const std::string&) override { return {}; }
};

// Pair 1 backs up a folder with a file, mail is set up for failures, every switch is off.
class MailTest : public WindowTest {
protected:
    void start(const std::string& what = "hata") {
        writeFile(extraFile(), "EpostaSunucu=smtp.ornek.com\r\nEpostaKullanici=yedek@ornek.com\r\nEpostaParola=gizli\r\n"
                               "EpostaKime=bt@ornek.com; patron@ornek.com\r\nEpostaNe=" + what + "\r\n");
        view.setSourceText(0, sourceWithAFile());
        clock.set({2026, 12, 8, 5, 0, 0});
        form().Form_Load();
        for (int i = 1; i < 4; ++i) view.setSourceText(i, "");
        for (int k = 0; k < 3; ++k) view.setSwitchValue(k, 0);
    }
    // The clock goes on second by second (within the day); its ticks send what is due.
    void ticksFor(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            LocalDateTime t = clock.now();
            const int next = t.hour * 3600 + t.minute * 60 + t.second + 1;
            t.hour = next / 3600;
            t.minute = next / 60 % 60;
            t.second = next % 60;
            clock.set(t);
            form().Timer2_Timer();
        }
    }
};

TEST_F(MailTest, AFailedRunSendsOneMailWithItsLinesItsWarningAndTheState) {
    start();
    view.setTargetText(0, drives.text('c', "silinen\\yedek"));
    zip.code = 15;
    form().cmdCopy_Click();
    ASSERT_TRUE(mail.waitFor(1));
    const OutgoingMail sent = mail.sent()[0];
    EXPECT_EQ(sent.recipients, (std::vector<std::string>{"bt@ornek.com", "patron@ornek.com"}));
    EXPECT_EQ(decodedSubject(sent.text), "[ZEL Yedek] TESTPC: Yedekleme başarısız");
    const std::string body = decodedBody(sent.text);
    for (const std::string& part : std::vector<std::string>{
             "Yedekleme başladı (Yedekle düğmesi)", "(zip hata kodu 15", "Yedekleme kaydı yazılmadı",
          "Uyarılar:", "Yedekleme başarısız: " + view.sourceText(0), "Durum: HATA", "ZEL Yedek " ZEL_VERSION})
        EXPECT_NE(body.find(part), std::string::npos) << part << "\n" << body;
    // The tray's warning of the run is in that mail, not in one of its own.
    EXPECT_EQ(view.warnings.size(), 1u);
    ticksFor(90);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(mail.sent().size(), 1u);
}

TEST_F(MailTest, AGoodRunIsMailedOnlyWhenEveryRunIsAskedFor) {
    connections = [] { return std::make_unique<TakingDatabase>(); };
    start("hepsi");
    form().cmdCopy_Click();
    // The mail waits for the database's answer on the record.
    const std::string recorded = "Yedekleme kaydı veritabanına yazıldı";
    ASSERT_TRUE(view.runPostedUntil([&] { return readFile(logFile()).find(recorded) != std::string::npos; }));
    ASSERT_TRUE(mail.waitFor(1));
    EXPECT_EQ(decodedSubject(mail.sent()[0].text), "[ZEL Yedek] TESTPC: Yedekleme tamamlandı");
    EXPECT_NE(decodedBody(mail.sent()[0].text).find("Yedekleme kaydı veritabanına yazıldı"), std::string::npos)
        << decodedBody(mail.sent()[0].text);

    writeFile(extraFile(), readFile(extraFile()).replace(readFile(extraFile()).find("hepsi"), 5, "hata"));
    form().Form_Load();
    form().cmdCopy_Click();
    ASSERT_TRUE(view.runPostedUntil([&] {
        const std::string log = readFile(logFile());
        return log.find(recorded) != log.rfind(recorded);
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(mail.sent().size(), 1u);
}

// A database that takes the record and never answers.
struct SilentDatabase final : DatabaseConnection {
    explicit SilentDatabase(std::shared_ptr<std::atomic<bool>> let) : let(std::move(let)) {}
    void open(const std::string&) override {}
    int state() const override { return 1; }
    QueryResult execute(const std::string&) override {
        while (!*let) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        throw DatabaseError("bitti", "HYT00");
    }
    std::shared_ptr<std::atomic<bool>> let;
};

TEST_F(MailTest, ARunWhoseRecordIsNeverAnsweredIsMailedAsFailedAfterFiveMinutes) {
    auto let = std::make_shared<std::atomic<bool>>(false);
    connections = [let] { return std::make_unique<SilentDatabase>(let); };
    start("hepsi");
    form().cmdCopy_Click();
    ticksFor(299);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(mail.sent().empty());
    ticksFor(1);
    ASSERT_TRUE(mail.waitFor(1));
    EXPECT_EQ(decodedSubject(mail.sent()[0].text), "[ZEL Yedek] TESTPC: Yedekleme başarısız");
    EXPECT_NE(decodedBody(mail.sent()[0].text).find("5 dakikadır veritabanının yanıtını bekliyor"), std::string::npos);
    *let = true;  // the answer that comes at last sends nothing more
    view.runPostedUntil([&] { return readFile(logFile()).find("Yedekleme kaydı yazılamadı") != std::string::npos; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(mail.sent().size(), 1u);
}

TEST_F(MailTest, WarningsWithinAMinuteShareAMailAndAFailedMailIsNotMailed) {
    start();
    // Both settings files read-only: each control's save fails and warns, its own cause once.
    fs::permissions(settingsFile(), fs::perms::owner_read);
    fs::permissions(extraFile(), fs::perms::owner_read);
    view.setSwitchValue(0, 1);
    form().chkYedek1_Click();
    ticksFor(30);
    view.setKeepArchivesValue(4);
    form().udSakla_Change();
    ASSERT_EQ(view.warnings.size(), 2u);
    ticksFor(50);
    EXPECT_TRUE(mail.sent().empty());  // the second warning's minute has not passed
    mail.answer({{false, "535 5.7.8 red"}});
    ticksFor(15);
    ASSERT_TRUE(mail.waitFor(1));
    EXPECT_EQ(decodedSubject(mail.sent()[0].text), "[ZEL Yedek] TESTPC: uyarı");
    const std::string body = decodedBody(mail.sent()[0].text);
    EXPECT_NE(body.find("TarvelYedek.ini"), std::string::npos) << body;
    EXPECT_NE(body.find("TarvelYedekEk.ini"), std::string::npos) << body;
    // The first failure waits five minutes for its next try: the end gives it its last one.
    form().letPendingRecordFinish();
    EXPECT_EQ(mail.sent().size(), 2u);
}

TEST_F(MailTest, TheDialogNeverShowsThePasswordKeepsItAndSavesItForTheOwnerOnly) {
    start();
    std::vector<MailForm> shown;
    std::string saved = "x", answer;
    MailForm edit;
    view.inMailDialog = [&](const MailForm& form, MailDialogCalls& calls) {
        shown.push_back(form);
        edit = form;
        saved = calls.save(edit);
        calls.test(edit, [&](const std::string& text) { answer = text; });
    };
    form().cmdEposta_Click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].passwordSet);
    EXPECT_EQ(shown[0].values.password, "");
    EXPECT_EQ(shown[0].values.server, "smtp.ornek.com");
    EXPECT_EQ(saved, "");
    // The kept password stays in the file (typed there by hand, it is protected now on Windows),
    // and goes into the test mail.
#ifdef _WIN32
    EXPECT_NE(readFile(extraFile()).find("EpostaParola=dpapi:"), std::string::npos);
#else
    EXPECT_NE(readFile(extraFile()).find("EpostaParola=gizli\r\n"), std::string::npos);
#endif
    ASSERT_TRUE(view.runPostedUntil([&] { return !answer.empty(); }));
    EXPECT_EQ(answer, "Gönderildi: 250 OK");
    EXPECT_EQ(mail.sent().back().password, "gizli");
    EXPECT_EQ(decodedSubject(mail.sent().back().text), "[ZEL Yedek] TESTPC: deneme iletisi");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(extraFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
#endif

    // A bad address is refused and nothing is written; no user name keeps no password.
    const std::string before = readFile(extraFile());
    view.inMailDialog = [&](const MailForm& form, MailDialogCalls& calls) {
        MailForm bad = form;
        bad.values.to = "bt@ornek.com\r\nBcc: x@y.com";
        saved = calls.save(bad);
        EXPECT_EQ(readFile(extraFile()), before);
        MailForm noUser = form;
        noUser.values.user.clear();
        noUser.values.from = "yedek@ornek.com";
        EXPECT_EQ(calls.save(noUser), "");
    };
    form().cmdEposta_Click();
    EXPECT_EQ(saved.rfind("Denetim karakteri", 0), 0u) << saved;
    EXPECT_NE(readFile(extraFile()).find("EpostaParola=\r\n"), std::string::npos);

    // The monitoring's page: a bad address is refused; a good folder has its metrics file at once.
    fs::create_directories(drives.drive('c') / "metrik");
    view.inMailDialog = [&](const MailForm& form, MailDialogCalls& calls) {
        MailForm edited = form;
        edited.watch = {drives.text('c', "metrik"), "hc-ping.com/abc"};
        EXPECT_EQ(calls.save(edited), "İzleme adresi http:// ya da https:// ile başlayan, boşluksuz bir adres olmalı");
        edited.watch.pingAddress = "https://hc-ping.com/abc";
        saved = calls.save(edited);
    };
    form().cmdEposta_Click();
    EXPECT_EQ(saved, "");
    EXPECT_NE(readFile(extraFile()).find("MetrikKlasoru=" + drives.text('c', "metrik") +
                                         "\r\nIzlemeAdresi=https://hc-ping.com/abc\r\n"),
              std::string::npos) << readFile(extraFile());
    EXPECT_NE(readFile(drives.drive('c') / "metrik" / "zelyedek.prom").find("zelyedek_up 1\n"), std::string::npos);
    EXPECT_EQ(readFile(logFile()).find("gizli"), std::string::npos);
}

// Neither a test nor a save hands the kept password to another server, port, security or user;
// typed again, it goes there.
TEST_F(MailTest, AKeptPasswordGoesOnlyToTheServerAndUserItWasKeptFor) {
    start();
    struct Case {
        void (*change)(MailForm&);
        const char* sent;  // the password the test mail took; nullptr: refused, nothing saved
    };
    const Case cases[] = {
        {[](MailForm& f) { f.values.server = "smtp.saldirgan.com"; }, nullptr},
        {[](MailForm& f) { f.values.port = 2525; }, nullptr},
        {[](MailForm& f) { f.values.security = MailSecurity::None; }, nullptr},
        {[](MailForm& f) { f.values.user = "kim@saldirgan.com"; }, nullptr},
        {[](MailForm& f) { f.values.to = "muhasebe@ornek.com"; }, "gizli"},
        {[](MailForm& f) { f.values.server = "smtp2.ornek.com", f.values.password = "yeni"; }, "yeni"},
    };
    for (const Case& c : cases) {
        const std::size_t sentBefore = mail.sent().size();
        const std::string before = readFile(extraFile());
        std::string saved, answer;
        view.inMailDialog = [&](const MailForm& shown, MailDialogCalls& calls) {
            MailForm edited = shown;
            c.change(edited);
            calls.test(edited, [&](const std::string& text) { answer = text; });
            saved = calls.save(edited);
        };
        form().cmdEposta_Click();
        const std::size_t i = static_cast<std::size_t>(&c - cases);
        ASSERT_TRUE(view.runPostedUntil([&] { return !answer.empty(); })) << i;
        if (c.sent) {
            EXPECT_EQ(saved, "") << i;
            ASSERT_EQ(mail.sent().size(), sentBefore + 1) << i;
            EXPECT_EQ(mail.sent().back().password, c.sent) << i;
            continue;
        }
        EXPECT_EQ(answer, "Gönderilemedi: " + std::string(kRetypePassword)) << i;
        EXPECT_EQ(saved, kRetypePassword) << i;
        EXPECT_EQ(mail.sent().size(), sentBefore) << i;
        EXPECT_EQ(readFile(extraFile()), before) << i;
    }
}

TEST(MailForm, TheUsualPortFollowsTheSecurityAndATypedOneStays) {
    EXPECT_EQ(portAfterSecurityChange(587, MailSecurity::StartTls, MailSecurity::Tls), 465);
    EXPECT_EQ(portAfterSecurityChange(465, MailSecurity::Tls, MailSecurity::StartTls), 587);
    EXPECT_EQ(portAfterSecurityChange(587, MailSecurity::StartTls, MailSecurity::None), 25);
    EXPECT_EQ(portAfterSecurityChange(2525, MailSecurity::StartTls, MailSecurity::Tls), 2525);
    EXPECT_EQ(kMailSecurityChoices[static_cast<std::size_t>(mailSecurityIndex(MailSecurity::None))].first,
              MailSecurity::None);
}

}  // namespace
}  // namespace zel::test
