#include "channel/mail_messages.h"

#include "channel/protocol.h"
#include "settings/extra_settings.h"

namespace zel {
namespace {

Message fieldsOf(std::string_view verb, const MailForm& f, std::string passwordField) {
    const MailSettings& s = f.values;
    return {std::string(verb), s.server, std::to_string(s.port), std::string(mailSecurityText(s.security)),
            s.user, std::move(passwordField), s.from, s.to, std::string(mailWhatText(s.what)),
            f.watch.metricsFolder, f.watch.pingAddress};
}

std::optional<MailSettings> settingsOf(const Message& m) {
    MailSettings s;
    const std::optional<int> port = wholeNumberIn(m[2], 1, 65535);
    const std::optional<MailSecurity> security = mailSecurityFrom(m[3]);
    const std::optional<MailWhat> what = mailWhatFrom(m[8]);
    if (!port || !security || !what) return std::nullopt;
    s.server = m[1];
    s.port = *port;
    s.security = *security;
    s.user = m[4];
    s.password = m[5];
    s.from = m[6];
    s.to = m[7];
    s.what = *what;
    return s;
}

}  // namespace

Message mailFormMessage(const MailForm& form) {
    return fieldsOf(verb::kMail, form, form.passwordSet ? "1" : "0");
}

std::optional<MailForm> parseMailForm(const Message& message) {
    if (!isVerb(message, verb::kMail, kMailFields) || (message[5] != "0" && message[5] != "1")) return std::nullopt;
    std::optional<MailSettings> s = settingsOf(message);
    if (!s) return std::nullopt;
    const bool set = s->password == "1";
    s->password.clear();
    return MailForm{std::move(*s), set, {message[9], message[10]}};
}

Message mailEditMessage(std::string_view verb, const MailForm& edited) {
    return fieldsOf(verb, edited, edited.values.password);
}

std::optional<MailForm> parseMailEdit(const Message& message, std::string_view expected) {
    if (!isVerb(message, expected, kMailFields)) return std::nullopt;
    std::optional<MailSettings> s = settingsOf(message);
    if (!s) return std::nullopt;
    return MailForm{std::move(*s), false, {message[9], message[10]}};
}

}  // namespace zel
