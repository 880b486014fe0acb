#include "mail/mail_text.h"

#include <gtest/gtest.h>

#include "mail/mail_content.h"
#include "support/core/decoded_mail.h"
#include "text/base64.h"

namespace zel::test {
namespace {

TEST(Base64, RoundTripsAndRefusesWhatIsNotBase64) {
    for (const std::string& bytes : std::vector<std::string>{"", "a", "ab", "abc", "abcd", std::string("\0\xff\x80", 3)})
        EXPECT_EQ(fromBase64(base64(bytes)), bytes);
    EXPECT_EQ(base64("ab"), "YWI=");
    EXPECT_EQ(fromBase64("YW\r\nJj"), "abc");
    for (const char* bad : {"YW*j", "Y", "YQ==YQ==", "YQ==="}) EXPECT_FALSE(fromBase64(bad)) << bad;
}

TEST(MailText, SubjectWordsStayShortAndNeverCutALetter) {
    const std::string ascii = "[ZEL Yedek] PC: plain";
    EXPECT_EQ(encodedHeaderText(ascii), ascii);
    for (const std::string& subject :
         {mailSubject("MUHASEBE-PC", MailKind::Failed), mailSubject("ŞİRKET-SUNUCU-ÇĞÜÖ", MailKind::Completed),
          std::string(40, 'x') + "ğğğğğğğğğğğğğğğğğğğğğğğğğğğğğğğğ"}) {
        const std::string header = encodedHeaderText(subject);
        EXPECT_EQ(decodedWords(header), subject);
        std::size_t start = 0;
        while (start < header.size()) {
            std::size_t end = header.find("\r\n ", start);
            if (end == std::string::npos) end = header.size();
            EXPECT_LE(end - start, 75u) << header;
            // Each word alone is whole UTF-8: its last byte is no lead byte and no cut sequence.
            const std::string word = decodedWords(header.substr(start, end - start));
            EXPECT_FALSE(word.empty());
            EXPECT_NE(static_cast<unsigned char>(word.back()) & 0xc0, 0xc0u) << header;
            start = end + 3;
        }
    }
    EXPECT_EQ(mailSubject("PC", MailKind::Failed), "[ZEL Yedek] PC: Yedekleme başarısız");
}

TEST(MailText, DateHasTheWeekdayAndTheZone) {
    EXPECT_EQ(mailDate({2026, 12, 8, 5, 0, 7}, 180), "Tue, 08 Dec 2026 05:00:07 +0300");
    EXPECT_EQ(mailDate({2024, 2, 29, 23, 59, 59}, 0), "Thu, 29 Feb 2024 23:59:59 +0000");
    EXPECT_EQ(mailDate({2025, 1, 1, 0, 0, 0}, -330), "Wed, 01 Jan 2025 00:00:00 -0530");
}

TEST(MailText, HeadersAreThereAndTheBodyIsUtf8InBase64Lines) {
    const MailContent content = runMail({true, {"05:00:01 Yedekleme başladı", std::string(300, 'u')}, {}}, "HATA: x");
    const std::string text = mailText({"yedek@ornek.com", {"a@b.com", "c@d.com"}, "Konu ş", "Tue, 08 Dec 2026 05:00:07 +0300",
                                       mailMessageId("yedek@ornek.com", {2026, 12, 8, 5, 0, 7}, 42)},
                                      content.body);
    const std::size_t split = text.find("\r\n\r\n");
    ASSERT_NE(split, std::string::npos);
    const std::string headers = text.substr(0, split + 2);
    for (const char* header :
         {"Date: Tue, 08 Dec 2026 05:00:07 +0300\r\n", "From: ZEL Yedek <yedek@ornek.com>\r\n",
          "To: a@b.com,\r\n c@d.com\r\n", "Message-ID: <20261208050007.42.zelyedek@ornek.com>\r\n",
          "MIME-Version: 1.0\r\n", "Content-Type: text/plain; charset=UTF-8\r\n",
          "Content-Transfer-Encoding: base64\r\n"})
        EXPECT_NE(headers.find(header), std::string::npos) << header;
    EXPECT_EQ(decodedWords(headers.substr(headers.find("Subject: "))), "Konu ş");
    const std::string body = text.substr(split + 4);
    std::size_t start = 0;
    for (std::size_t end; (end = body.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 76u);
    const std::optional<std::string> decoded = fromBase64(body);
    ASSERT_TRUE(decoded);
    EXPECT_NE(decoded->find("05:00:01 Yedekleme başladı\r\n"), std::string::npos);
    EXPECT_NE(decoded->find("Durum: HATA: x\r\n"), std::string::npos);
    EXPECT_NE(decoded->find("ZEL Yedek " ZEL_VERSION), std::string::npos);
}

TEST(MailContent, WhichRunsAreMailedAndWhatTheirMailSays) {
    EXPECT_TRUE(runIsMailed(MailWhat::Failures, true));
    EXPECT_FALSE(runIsMailed(MailWhat::Failures, false));
    EXPECT_TRUE(runIsMailed(MailWhat::Everything, false));
    EXPECT_FALSE(runIsMailed(MailWhat::Nothing, true));
    const MailContent good = runMail({false, {"a"}, {"05:00 disk"}}, "TAMAM");
    EXPECT_EQ(good.kind, MailKind::Completed);
    EXPECT_EQ(good.body, (std::vector<std::string>{"Yedekleme tamamlandı.", "", "a", "", "Uyarılar:", "05:00 disk", "",
                                                   "Durum: TAMAM", "ZEL Yedek " ZEL_VERSION}));
}

TEST(WarningBatch, WarningsAMinuteApartShareAMailThatWaitsForTheirQuiet) {
    WarningBatch batch;
    EXPECT_FALSE(batch.takeDue({2026, 12, 8, 5, 0, 0}));
    batch.add("a", {2026, 12, 8, 5, 0, 0});
    batch.add("b", {2026, 12, 8, 5, 0, 50});
    EXPECT_FALSE(batch.takeDue({2026, 12, 8, 5, 1, 30}));  // a minute after the first, not after the last
    EXPECT_EQ(batch.takeDue({2026, 12, 8, 5, 1, 50}), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(batch.takeDue({2026, 12, 8, 5, 3, 0}));

    // A steady stream still goes out after ten minutes; a forced batch goes at once.
    for (int s = 0; s <= 600; s += 30) batch.add("x", {2026, 12, 8, 6, s / 60, s % 60});
    EXPECT_TRUE(batch.takeDue({2026, 12, 8, 6, 10, 0}));
    batch.add("y", {2026, 12, 8, 7, 0, 0});
    EXPECT_EQ(batch.takeDue({2026, 12, 8, 7, 0, 1}, true), (std::vector<std::string>{"y"}));
    // A clock set back does not hold a warning for as long as it went back.
    batch.add("z", {2026, 12, 8, 8, 0, 0});
    EXPECT_TRUE(batch.takeDue({2026, 12, 8, 4, 0, 0}));
}

}  // namespace
}  // namespace zel::test
