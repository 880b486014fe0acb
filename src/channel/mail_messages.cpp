#include "channel/mail_messages.h"

#include "channel/protocol.h"
#include "settings/extra_settings.h"

namespace zel {
namespace {

Message fieldsOf(std::string_view verb, const MailForm& f, std::string passwordField, std::string secretField) {
    const MailSettings& s = f.values;
    const RemoteSettings& r = f.remote;
    return {std::string(verb), s.server, std::to_string(s.port), std::string(mailSecurityText(s.security)),
            s.user, std::move(passwordField), s.from, s.to, std::string(mailWhatText(s.what)),
            f.watch.metricsFolder, f.watch.pingAddress, std::string(remoteKindText(r.kind)), r.address, r.user,
            std::move(secretField), r.region, r.bucket, r.prefix, r.keep ? std::to_string(*r.keep) : std::string(),
            std::to_string(r.speedLimitKb), std::to_string(r.lockDays), std::string(lockModeText(r.lockMode)),
            f.commands.before, f.commands.after, std::string(shadowCopyModeText(f.commands.shadowCopy))};
}

// The commands' fields; null for a shadow copy word the program does not know.
std::optional<RunCommandSettings> commandsOf(const Message& m) {
    const std::optional<ShadowCopyMode> shadow = shadowCopyModeFrom(m[24]);
    if (!shadow) return std::nullopt;
    return RunCommandSettings{m[22], m[23], *shadow};
}

// The second place's fields; null for a word or a number out of its range.
std::optional<RemoteSettings> remoteOf(const Message& m) {
    RemoteSettings r;
    const std::optional<RemoteKind> kind = remoteKindFrom(m[11]);
    const std::optional<int> speed = wholeNumberIn(m[19], 0, kRemoteSpeedMax);
    const std::optional<int> days = wholeNumberIn(m[20], 0, kLockDaysMax);
    const std::optional<LockMode> mode = lockModeFrom(m[21]);
    const std::optional<int> keep = wholeNumberIn(m[18], 0, kKeepArchivesMax);
    if (!kind || !speed || !days || !mode || (!m[18].empty() && !keep)) return std::nullopt;
    r.kind = *kind;
    r.address = m[12];
    r.user = m[13];
    r.secret = m[14];
    r.region = m[15];
    r.bucket = m[16];
    r.prefix = m[17];
    r.keep = keep;
    r.speedLimitKb = *speed;
    r.lockDays = *days;
    r.lockMode = *mode;
    return r;
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
    return fieldsOf(verb::kMail, form, form.passwordSet ? "1" : "0", form.secretSet ? "1" : "0");
}

std::optional<MailForm> parseMailForm(const Message& message) {
    if (!isVerb(message, verb::kMail, kMailFields) || (message[5] != "0" && message[5] != "1") ||
        (message[14] != "0" && message[14] != "1"))
        return std::nullopt;
    std::optional<MailSettings> s = settingsOf(message);
    std::optional<RemoteSettings> r = remoteOf(message);
    std::optional<RunCommandSettings> c = commandsOf(message);
    if (!s || !r || !c) return std::nullopt;
    const bool set = s->password == "1", secretSet = r->secret == "1";
    s->password.clear();
    r->secret.clear();
    return MailForm{std::move(*s), set, {message[9], message[10]}, std::move(*r), secretSet, std::move(*c)};
}

Message mailEditMessage(std::string_view verb, const MailForm& edited) {
    return fieldsOf(verb, edited, edited.values.password, edited.remote.secret);
}

std::optional<MailForm> parseMailEdit(const Message& message, std::string_view expected) {
    if (!isVerb(message, expected, kMailFields)) return std::nullopt;
    std::optional<MailSettings> s = settingsOf(message);
    std::optional<RemoteSettings> r = remoteOf(message);
    std::optional<RunCommandSettings> c = commandsOf(message);
    if (!s || !r || !c) return std::nullopt;
    return MailForm{std::move(*s), false, {message[9], message[10]}, std::move(*r), false, std::move(*c)};
}

}  // namespace zel
