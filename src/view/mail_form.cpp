#include "view/mail_form.h"

#include "settings/extra_settings.h"

namespace zel {
namespace {

int usualPort(MailSecurity security) {
    return security == MailSecurity::Tls ? 465 : security == MailSecurity::StartTls ? 587 : 25;
}

// Only ASCII blanks: a byte of a UTF-8 letter is never one.
std::string trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

template <std::size_t N, typename Choice>
Choice chosen(const std::array<std::pair<Choice, std::string_view>, N>& choices, int index) {
    return choices[index >= 0 && static_cast<std::size_t>(index) < N ? static_cast<std::size_t>(index) : 0].first;
}

}  // namespace

MailForm mailFormOf(const MailBoxes& boxes) {
    MailForm form;
    form.values.server = trimmed(boxes.server);
    form.values.port = boxes.port;
    form.values.security = chosen(kMailSecurityChoices, boxes.securityIndex);
    form.values.user = trimmed(boxes.user);
    form.values.password = boxes.password;
    form.values.from = trimmed(boxes.from);
    form.values.to = trimmed(boxes.to);
    form.values.what = chosen(kMailWhatChoices, boxes.whatIndex);
    form.watch.metricsFolder = trimmed(boxes.metricsFolder);
    form.watch.pingAddress = trimmed(boxes.pingAddress);
    RemoteSettings& r = form.remote;
    r.kind = chosen(kRemoteKindChoices, boxes.remoteKindIndex);
    r.address = trimmed(boxes.remoteAddress);
    r.user = trimmed(boxes.remoteUser);
    r.secret = boxes.remoteSecret;
    r.region = trimmed(boxes.remoteRegion);
    r.bucket = trimmed(boxes.remoteBucket);
    r.prefix = trimmed(boxes.remotePrefix);
    const auto number = [](const std::string& text, int high) {
        return trimmed(text).empty() ? 0 : wholeNumberIn(text, 0, high).value_or(-1);
    };
    if (!trimmed(boxes.remoteKeep).empty()) r.keep = number(boxes.remoteKeep, kKeepArchivesMax);
    r.speedLimitKb = number(boxes.remoteSpeed, kRemoteSpeedMax);
    r.lockDays = number(boxes.remoteLockDays, kLockDaysMax);
    r.lockMode = chosen(kLockModeChoices, boxes.lockModeIndex);
    form.commands = {trimmed(boxes.commandBefore), trimmed(boxes.commandAfter),
                     chosen(kShadowCopyChoices, boxes.shadowCopyIndex)};
    return form;
}

int shadowCopyIndex(ShadowCopyMode mode) {
    for (std::size_t i = 0; i < kShadowCopyChoices.size(); ++i)
        if (kShadowCopyChoices[i].first == mode) return static_cast<int>(i);
    return 0;
}

int mailSecurityIndex(MailSecurity security) {
    for (std::size_t i = 0; i < kMailSecurityChoices.size(); ++i)
        if (kMailSecurityChoices[i].first == security) return static_cast<int>(i);
    return 0;
}

int mailWhatIndex(MailWhat what) {
    for (std::size_t i = 0; i < kMailWhatChoices.size(); ++i)
        if (kMailWhatChoices[i].first == what) return static_cast<int>(i);
    return 0;
}

int remoteKindIndex(RemoteKind kind) {
    for (std::size_t i = 0; i < kRemoteKindChoices.size(); ++i)
        if (kRemoteKindChoices[i].first == kind) return static_cast<int>(i);
    return 0;
}

int lockModeIndex(LockMode mode) { return mode == LockMode::Governance ? 1 : 0; }

int portAfterSecurityChange(int port, MailSecurity before, MailSecurity after) {
    return port == usualPort(before) ? usualPort(after) : port;
}

}  // namespace zel
