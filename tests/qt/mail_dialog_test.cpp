#include "qt/mail_dialog.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include "mail/curl_transport.h"
#include "support/core/decoded_mail.h"
#include "support/core/smtp_test_server.h"
#include "support/qt/window_fixture.h"

namespace zel::test {
namespace {

using namespace std::chrono_literals;

// "Ayarlar..." on the real window: the dialog, a test mail to a real server over STARTTLS, its
// answer in the dialog, and "Tamam" saving what was typed.
TEST_F(QtWindowTest, TheMailDialogSendsATestMailShowsTheAnswerAndSavesOnTamamOnly) {
    SmtpTestServer server("starttls");
    CurlTransport transport(10s, 30s, (testCertificates() / "ca.pem").string());
    mail = &transport;
    writeFile(extraFile(), "EpostaSunucu=127.0.0.1\r\nEpostaPort=" + std::to_string(server.port()) +
                               "\r\nEpostaKullanici=yedek@ornek.com\r\nEpostaKime=bt@ornek.com\r\n");
    std::filesystem::create_directories(drive('d') / "uzak");
    form().Form_Load();
    const std::string before = readFile(extraFile());
    bool checked = false;
    auto inDialog = [&](bool save) {
        auto* dialog = qobject_cast<MailDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Ayarlar");
        EXPECT_EQ(dialog->txtSunucu->text(), "127.0.0.1");
        EXPECT_TRUE(dialog->txtParola->text().isEmpty());
        // Only the second time is there a password kept, and it is never shown.
        EXPECT_EQ(dialog->txtParola->placeholderText(), save ? "" : "(kayıtlı)");
        if (save) {
            QTest::keyClicks(dialog->txtParola, "gizli");
            QTest::mouseClick(dialog->cmdDeneme, Qt::LeftButton);
            EXPECT_EQ(dialog->lblCevap->text(), "Gönderiliyor...");
            EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->lblCevap->text() != "Gönderiliyor..."; }, 30000));
            EXPECT_TRUE(dialog->lblCevap->text().startsWith("Gönderildi: 250")) << dialog->lblCevap->text().toStdString();
            EXPECT_EQ(readFile(extraFile()), before);  // a test saves nothing
            dialog->tabSayfa->setCurrentIndex(1);
            EXPECT_FALSE(dialog->cmdDeneme->isVisible());
            QTest::keyClicks(dialog->txtIzleme, " https://hc-ping.com/abc ");
            // The second place's page has its own "Deneme", which tries the folder typed there.
            dialog->tabSayfa->setCurrentIndex(2);
            EXPECT_TRUE(dialog->cmdUzakDeneme->isVisible());
            dialog->cboUzakTur->setCurrentIndex(1);
            QTest::keyClicks(dialog->txtUzakAdres, "d:\\uzak");
            QTest::mouseClick(dialog->cmdUzakDeneme, Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->lblCevap->text() != "Deneniyor..."; }, 30000));
            EXPECT_EQ(dialog->lblCevap->text(), "Yazma: tamam\nOkuma: tamam\nSilme: tamam");
            // The commands' page: a program others may not change is taken.
            dialog->tabSayfa->setCurrentIndex(3);
            EXPECT_FALSE(dialog->cmdUzakDeneme->isVisible());
            QTest::keyClicks(dialog->txtOncekiKomut, " /bin/true --once ");
            dialog->cboGolgeKopya->setCurrentIndex(2);
            QTest::mouseClick(dialog->cmdTamam, Qt::LeftButton);
        } else {
            QTest::keyClicks(dialog->txtKime, ", yanlis");
            QTest::mouseClick(dialog->cmdTamam, Qt::LeftButton);
            EXPECT_EQ(dialog->lblCevap->text(), "Alıcı adresi geçersiz: yanlis");
            QTest::mouseClick(dialog->cmdVazgec, Qt::LeftButton);
        }
        checked = true;
    };
    QTimer::singleShot(0, [&] { inDialog(true); });
    QTest::mouseClick(window().cmdEposta, Qt::LeftButton);
    ASSERT_TRUE(checked);
    ASSERT_EQ(server.mails().size(), 1u);
    EXPECT_EQ(decodedSubject(server.mails()[0]), "[ZEL Yedek] TESTPC: deneme iletisi");
    const std::string saved = readFile(extraFile());
    EXPECT_NE(saved.find("EpostaParola=gizli\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("IzlemeAdresi=https://hc-ping.com/abc\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("UzakTur=klasor\r\nUzakAdres=d:\\uzak\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("OncekiKomut=/bin/true --once\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("GolgeKopya=zorunlu\r\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("SonrakiKomut"), std::string::npos) << saved;
    struct stat st {};
    ASSERT_EQ(::stat(extraFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    checked = false;
    QTimer::singleShot(0, [&] { inDialog(false); });
    QTest::mouseClick(window().cmdEposta, Qt::LeftButton);
    ASSERT_TRUE(checked);
    EXPECT_EQ(readFile(extraFile()), saved);
}

}  // namespace
}  // namespace zel::test
