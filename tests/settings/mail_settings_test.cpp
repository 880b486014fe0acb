#include "settings/mail_settings.h"

#include <gtest/gtest.h>

#include "settings/extra_settings.h"

namespace zel {
namespace {

MailSettings good() {
    MailSettings s;
    s.server = "smtp.ornek.com.tr";
    s.user = "yedek@ornek.com.tr";
    s.to = "bt@ornek.com.tr";
    return s;
}

TEST(MailSettingsProblem, WhatCouldEndUpInAHeaderOrTheUrlIsRefused) {
    struct Case {
        const char* name;
        void (*change)(MailSettings&);
        const char* problem;  // the start of it; empty: usable
    };
    const Case cases[] = {
        {"good as it is", [](MailSettings&) {}, ""},
        {"an IPv4 address", [](MailSettings& s) { s.server = "192.168.1.10"; }, ""},
        {"an IPv6 address", [](MailSettings& s) { s.server = "[fe80::1]"; }, ""},
        {"several recipients", [](MailSettings& s) { s.to = "a@b.com; c@d.com ,e@f.com"; }, ""},
        {"a line break in the recipients", [](MailSettings& s) { s.to = "a@b.com\r\nBcc: x@y.com"; },
         "Denetim karakteri"},
        {"a line break in the password", [](MailSettings& s) { s.password = "pa\nss"; }, "Denetim karakteri"},
        {"a path in the server", [](MailSettings& s) { s.server = "smtp.ornek.com/x"; },
         "Sunucu adı geçersiz"},
        {"a user in the server", [](MailSettings& s) { s.server = "kim@smtp.ornek.com"; },
         "Sunucu adı geçersiz"},
        {"a recipient that ends the address early", [](MailSettings& s) { s.to = "a@b.com>x"; },
         "Alıcı adresi geçersiz"},
        {"a recipient without a domain", [](MailSettings& s) { s.to = "bt@"; }, "Alıcı adresi geçersiz"},
        {"a bracket before the @ of a recipient", [](MailSettings& s) { s.to = "x<bt@ornek.com"; },
         "Alıcı adresi geçersiz"},
        {"a bracket before the @ of the sender", [](MailSettings& s) { s.from = "yedek>x@ornek.com"; },
         "Gönderen adresi geçersiz"},
        {"a sender with a blank", [](MailSettings& s) { s.from = "yedek @ornek.com"; },
         "Gönderen adresi geçersiz"},
        {"no sender: the user is no address", [](MailSettings& s) { s.user = "yedek"; },
         "Gönderen adresi gerekli"},
        {"port 0", [](MailSettings& s) { s.port = 0; }, "Bağlantı noktası"},
    };
    for (const Case& c : cases) {
        MailSettings s = good();
        c.change(s);
        const std::string problem = mailSettingsProblem(s);
        if (*c.problem == '\0')
            EXPECT_EQ(problem, "") << c.name;
        else
            EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << c.name << ": " << problem;
    }
}

TEST(MailSettings, MailIsOnWithAServerARecipientAndNotTurnedOff) {
    EXPECT_TRUE(mailOn(good()));
    MailSettings s = good();
    s.to = " ; , ";
    EXPECT_FALSE(mailOn(s));
    s = good();
    s.server.clear();
    EXPECT_FALSE(mailOn(s));
    s = good();
    s.what = MailWhat::Nothing;
    EXPECT_FALSE(mailOn(s));
    EXPECT_EQ(mailRecipients(" a@b.com;;c@d.com , "), (std::vector<std::string>{"a@b.com", "c@d.com"}));
    EXPECT_EQ(mailSender(good()), "yedek@ornek.com.tr");
}

TEST(ExtraSettingsMail, KeysReadWithTheirDefaultsAndOnlyASetUpMailIsWritten) {
    const ExtraSettings read = parseExtraSettings(
                                   "EpostaSunucu = smtp.ornek.com \r\nEpostaPort=465\r\nepostaguvenlik=TLS\r\n"
                                   "EpostaKullanici=yedek\r\nEpostaParola= gizli =\r\nEpostaKime=a@b.com\r\n"
                                   "EpostaNe=hepsi\r\n")
                                   .values;
    EXPECT_EQ(read.mail.server, "smtp.ornek.com");
    EXPECT_EQ(read.mail.port, 465);
    EXPECT_EQ(read.mail.security, MailSecurity::Tls);
    EXPECT_EQ(read.mail.password, " gizli =");  // everything after the '=', blanks too
    EXPECT_EQ(read.mail.what, MailWhat::Everything);

    const ExtraSettings bad =
        parseExtraSettings("EpostaPort=70000\r\nEpostaGuvenlik=ssl\r\nEpostaNe=bazen\r\n").values;
    EXPECT_EQ(bad.mail, MailSettings{});

    // A file without mail gets no mail lines; one with mail gets them all, in the file's words.
    EXPECT_EQ(extraSettingsText({{2, 0, {}}, {}}), "SaklanacakYedek=2\r\nKacanYedek=0\r\n");
    ExtraSettingsFile file = parseExtraSettings("EpostaNe=yok\r\n");
    file.values.mail.server = "smtp.ornek.com";
    EXPECT_EQ(extraSettingsText(file),
              "EpostaNe=yok\r\nSaklanacakYedek=0\r\nKacanYedek=0\r\nEpostaSunucu=smtp.ornek.com\r\n"
              "EpostaPort=587\r\nEpostaGuvenlik=starttls\r\nEpostaKullanici=\r\nEpostaParola=\r\n"
              "EpostaKimden=\r\nEpostaKime=\r\n");
}

}  // namespace
}  // namespace zel
