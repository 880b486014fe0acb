#include "mail/curl_transport.h"

#include <gtest/gtest.h>

#include "support/core/smtp_test_server.h"

namespace zel::test {
namespace {

using namespace std::chrono_literals;

OutgoingMail mailFor(int port, MailSecurity security, const std::string& password) {
    OutgoingMail m;
    m.server = "127.0.0.1";  // the port was found free on this address, not on ::1
    m.port = port;
    m.security = security;
    m.user = "yedek@ornek.com";
    m.password = password;
    m.sender = "yedek@ornek.com";
    m.recipients = {"bt@ornek.com", "patron@ornek.com"};
    m.text = "Subject: deneme\r\n\r\ngövde\r\n.\r\n.nokta\r\n";
    return m;
}

// A real server over real TLS: what goes through, and the reason for what does not.
TEST(CurlTransport, SendsOnlyOverAVerifiedConnectionAndSaysWhyNot) {
    struct Case {
        const char* name;
        const char* mode;
        const char* certificate;
        MailSecurity security;
        const char* password;
        bool sent;
        const char* answer;  // a piece of it
    };
    const Case cases[] = {
        {"STARTTLS with the right password", "starttls", "server", MailSecurity::StartTls, "gizli", true, "250"},
        {"TLS from the first byte", "tls", "server", MailSecurity::Tls, "gizli", true, "250"},
        {"a wrong password", "starttls", "server", MailSecurity::StartTls, "yanlis", false, "535"},
        {"a certificate nobody vouches for", "starttls", "untrusted", MailSecurity::StartTls, "gizli", false,
         "certificate"},
        {"a server without STARTTLS gets nothing in clear", "plain", "server", MailSecurity::StartTls, "gizli", false,
         "STARTTLS"},
    };
    const std::string ca = (testCertificates() / "ca.pem").string();
    for (const Case& c : cases) {
        SmtpTestServer server(c.mode, c.certificate);
        CurlTransport transport(10s, 30s, ca);
        std::atomic<bool> abort{false};
        const MailSent sent = transport.send(mailFor(server.port(), c.security, c.password), abort);
        EXPECT_EQ(sent.ok, c.sent) << c.name << ": " << sent.answer;
        EXPECT_NE(sent.answer.find(c.answer), std::string::npos) << c.name << ": " << sent.answer;
        EXPECT_EQ(server.mails().size(), c.sent ? 1u : 0u) << c.name;
        if (c.sent) EXPECT_NE(server.mails()[0].find("\r\n.nokta\r\n"), std::string::npos) << c.name;
    }
    // A relay on the local network, chosen so: no TLS, and no password asked for.
    SmtpTestServer relay("plain");
    CurlTransport transport(10s, 30s, ca);
    std::atomic<bool> abort{false};
    OutgoingMail plain = mailFor(relay.port(), MailSecurity::None, "");
    plain.user.clear();
    EXPECT_TRUE(transport.send(plain, abort).ok);
    EXPECT_EQ(relay.mails().size(), 1u);
}

TEST(CurlTransport, AServerThatNeverAnswersEndsAtTheLimitOrAtTheStop) {
    SmtpTestServer server("hang");
    CurlTransport transport(2s, 3s, (testCertificates() / "ca.pem").string());
    std::atomic<bool> abort{false};
    auto start = std::chrono::steady_clock::now();
    MailSent sent = transport.send(mailFor(server.port(), MailSecurity::StartTls, "gizli"), abort);
    EXPECT_FALSE(sent.ok);
    EXPECT_NE(sent.answer.find("imed out"), std::string::npos) << sent.answer;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);

    CurlTransport patient(60s, 60s, (testCertificates() / "ca.pem").string());
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        abort = true;
    });
    start = std::chrono::steady_clock::now();
    sent = patient.send(mailFor(server.port(), MailSecurity::StartTls, "gizli"), abort);
    stopper.join();
    EXPECT_EQ(sent.answer, "durduruldu");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

}  // namespace
}  // namespace zel::test
