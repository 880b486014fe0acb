#include "mail/mailer.h"

#include "engine/schedule.h"
#include "platform/security/password_vault.h"

namespace zel {
namespace {

// The local time now and its distance from UTC, for the Date header.
std::string dateNow() {
    const std::int64_t micros = realTimeMicros();
    const LocalDateTime local = localDateTimeAt(micros);
    const std::int64_t offsetSeconds = wallSecond(local) - micros / 1000000;
    // Rounded to whole minutes: the second of the reading may fall between the two.
    const int offsetMinutes = static_cast<int>((offsetSeconds + (offsetSeconds < 0 ? -30 : 30)) / 60);
    return mailDate(local, offsetMinutes);
}

}  // namespace

Mailer::Mailer(MailerParts parts) : parts_(std::move(parts)) {
    if (!parts_.transport) return;
    outbox_ = std::make_unique<MailOutbox>(
        *parts_.transport, parts_.retries,
        [this, alive = alive_](const std::string& subject, const std::string& why,
                               std::optional<std::chrono::milliseconds> retryIn) {
            parts_.post([this, alive, subject, why, retryIn] {
                if (!*alive) return;
                if (!retryIn) return parts_.notSent(std::string(kMailNotSent) + why + " (" + subject + ")");
                // Only the log hears of a try that will be repeated: why the mail is late.
                const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(*retryIn).count();
                parts_.retrying(std::string(kMailNotSent) + why + " (" + subject + "); " + std::to_string(minutes) +
                                " dakika sonra yeniden denenecek");
            });
        });
}

Mailer::~Mailer() {
    *alive_ = false;
    outbox_.reset();
}

std::optional<OutgoingMail> Mailer::outgoing(const MailSettings& s, const std::string& password,
                                             const MailContent& content, std::string& why) {
    if (const std::string problem = mailSettingsProblem(s); !problem.empty()) {
        why = problem;
        return std::nullopt;
    }
    OutgoingMail mail;
    mail.server = s.server;
    mail.port = s.port;
    mail.security = s.security;
    mail.user = s.user;
    mail.password = password;
    mail.sender = mailSender(s);
    mail.recipients = mailRecipients(s.to);
    MailHeaderValues headers;
    headers.sender = mail.sender;
    headers.recipients = mail.recipients;
    headers.subject = mailSubject(parts_.computerName ? parts_.computerName() : std::string(), content.kind);
    headers.date = dateNow();
    headers.messageId = mailMessageId(mail.sender, parts_.clock.now(),
                                      static_cast<unsigned long long>(realTimeMicros()) * 1000 + ++sent_ % 1000);
    mail.text = mailText(headers, content.body);
    return mail;
}

void Mailer::queue(const MailContent& content) {
    if (!outbox_ || !mailOn(settings_)) return;
    std::string why;
    const std::optional<std::string> password = revealPassword(settings_.password);
    if (!password) why = "kayıtlı parola bu bilgisayarda okunamıyor; parolayı yeniden girin";
    std::optional<OutgoingMail> mail = password ? outgoing(settings_, *password, content, why) : std::nullopt;
    const std::string subject = mailSubject(parts_.computerName ? parts_.computerName() : std::string(), content.kind);
    if (!mail) {
        parts_.notSent(std::string(kMailNotSent) + why + " (" + subject + ")");
        return;
    }
    outbox_->send(std::move(*mail), subject);
}

void Mailer::runEnded(const RunMailFacts& run) {
    if (!runIsMailed(settings_.what, run.failed)) {
        // A good run that is not mailed still hands on what it warned about.
        for (const std::string& w : run.warnings) warned(w);
        return;
    }
    queue(runMail(run, parts_.summaryLine()));
}

void Mailer::warned(const std::string& text) {
    if (!outbox_ || !mailOn(settings_) || !warningsAreMailed(settings_.what)) return;
    batch_.add(text, parts_.clock.now());
}

void Mailer::tick() {
    if (const auto lines = batch_.takeDue(parts_.clock.now())) queue(warningMail(*lines, parts_.summaryLine()));
}

void Mailer::test(const MailSettings& settings, std::function<void(const std::string&)> answer) {
    if (!outbox_) return answer("Gönderilemedi: e-posta bu programda kullanılamıyor");
    if (settings.server.empty() || mailRecipients(settings.to).empty())
        return answer("Gönderilemedi: sunucu ve alıcı gerekli");
    std::string why;
    std::optional<OutgoingMail> mail = outgoing(settings, settings.password, testMail(parts_.summaryLine()), why);
    if (!mail) return answer("Gönderilemedi: " + why);
    outbox_->test(std::move(*mail), [this, alive = alive_, answer = std::move(answer)](const MailSent& sent) {
        parts_.post([alive, answer, text = testAnswerText(sent)] {
            if (*alive) answer(text);
        });
    });
}

bool Mailer::pending() const {
    return outbox_ && (batch_.waiting() || !outbox_->idle());
}

std::vector<std::string> Mailer::stop() {
    std::vector<std::string> lines;
    if (!outbox_) return lines;
    if (const auto waiting = batch_.takeDue(parts_.clock.now(), true))
        queue(warningMail(*waiting, parts_.summaryLine()));
    for (const auto& [subject, why] : outbox_->stop(kMailTimeAtEnd))
        lines.push_back(std::string(kMailNotSent) + why + " (" + subject + ")");
    return lines;
}

std::string testAnswerText(const MailSent& sent) {
    if (sent.ok) return "Gönderildi" + (sent.answer.empty() ? std::string() : ": " + sent.answer);
    return "Gönderilemedi: " + sent.answer;
}

}  // namespace zel
