#include "view/mail_form.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(MailFormOf, TextsLoseTheBlanksAroundThemButThePasswordKeepsThem) {
    MailBoxes boxes;
    boxes.server = "  smtp.ornek.com.tr\t";
    boxes.port = 2525;
    boxes.securityIndex = 1;
    boxes.user = " yedek@ornek.com.tr ";
    boxes.password = " par ola\t";
    boxes.from = "\r\nyedek@ornek.com.tr";
    boxes.to = " bir@ornek.com.tr; iki@ornek.com.tr  ";
    boxes.whatIndex = 1;
    const MailForm form = mailFormOf(boxes);
    EXPECT_EQ(form.values.server, "smtp.ornek.com.tr");
    EXPECT_EQ(form.values.port, 2525);
    EXPECT_EQ(form.values.security, MailSecurity::Tls);
    EXPECT_EQ(form.values.user, "yedek@ornek.com.tr");
    EXPECT_EQ(form.values.password, " par ola\t");
    EXPECT_EQ(form.values.from, "yedek@ornek.com.tr");
    EXPECT_EQ(form.values.to, "bir@ornek.com.tr; iki@ornek.com.tr");
    EXPECT_EQ(form.values.what, MailWhat::Everything);
    EXPECT_FALSE(form.passwordSet);
}

TEST(MailFormOf, ALetterWhoseLastByteLooksLikeABlankStaysWhole) {
    MailBoxes boxes;
    // "à" is C3 A0 and "Ġ" C4 A0 in UTF-8: A0 is a blank in Latin-1.
    boxes.server = "\xc3\xa0 ";
    boxes.user = " Ali Kara\xc4\xa0";
    const MailForm form = mailFormOf(boxes);
    EXPECT_EQ(form.values.server, "\xc3\xa0");
    EXPECT_EQ(form.values.user, "Ali Kara\xc4\xa0");
}

TEST(MailFormOf, BlankBoxesAreEmptyAndAListWithoutAnEntryGivesItsFirst) {
    MailBoxes boxes;
    boxes.server = " \t ";
    for (const int index : {-1, 3, 1000}) {
        boxes.securityIndex = index;
        boxes.whatIndex = index;
        const MailForm form = mailFormOf(boxes);
        EXPECT_EQ(form.values.server, "");
        EXPECT_EQ(form.values.security, kMailSecurityChoices[0].first) << index;
        EXPECT_EQ(form.values.what, kMailWhatChoices[0].first) << index;
    }
    for (std::size_t i = 0; i < kMailSecurityChoices.size(); ++i) {
        boxes.securityIndex = static_cast<int>(i);
        boxes.whatIndex = static_cast<int>(i);
        EXPECT_EQ(mailFormOf(boxes).values.security, kMailSecurityChoices[i].first);
        EXPECT_EQ(mailFormOf(boxes).values.what, kMailWhatChoices[i].first);
    }
}

TEST(MailFormOf, TheSecondPlacesNumbersAreWholeNumbersInRangeElseRefused) {
    const struct {
        const char* keep;
        const char* speed;
        std::optional<int> keepRead;
        int speedRead;
    } cases[] = {
        {"", "", std::nullopt, 0},  // as the target folders; no limit
        {" 0 ", "512", 0, 512},
        {"abc", "-5", -1, -1},
        {"1000", "99999999999", -1, -1},
    };
    for (const auto& c : cases) {
        MailBoxes boxes;
        boxes.remoteKindIndex = 1;
        boxes.remoteAddress = " e:\\yedek ";
        boxes.remoteKeep = c.keep;
        boxes.remoteSpeed = c.speed;
        const RemoteSettings r = mailFormOf(boxes).remote;
        EXPECT_EQ(r.kind, RemoteKind::Folder);
        EXPECT_EQ(r.address, "e:\\yedek");
        EXPECT_EQ(r.keep, c.keepRead) << c.keep;
        EXPECT_EQ(r.speedLimitKb, c.speedRead) << c.speed;
        EXPECT_EQ(remoteSettingsProblem(r).empty(), c.speedRead >= 0) << c.keep;
    }
}

}  // namespace
}  // namespace zel
