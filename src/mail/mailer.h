#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/mail_content.h"
#include "mail/mail_outbox.h"
#include "mail/mail_transport.h"
#include "platform/system/clock.h"
#include "settings/mail_settings.h"

namespace zel {

// The start of the run-log line and warning of a mail that could not be sent.
inline constexpr std::string_view kMailNotSent = "E-posta gönderilemedi: ";

// What the mailer works with.
struct MailerParts {
    MailTransport* transport = nullptr;  // none: nothing is ever mailed
    const Clock& clock;
    std::function<std::string()> computerName;
    // Hands a call from the mail thread to the machine's thread.
    std::function<void(std::function<void()>)> post;
    // On the machine's thread: a mail given up on, as its run-log line.
    std::function<void(const std::string&)> notSent;
    // On the machine's thread: a failed try that will be repeated, as its run-log line.
    std::function<void(const std::string&)> retrying;
    // The line `--durum` would print now, for the end of every mail.
    std::function<std::string()> summaryLine;
    std::vector<std::chrono::milliseconds> retries = kMailRetries;
};

// Turns the machine's runs and warnings into mails as the settings ask, and sends them on the mail
// thread. Nothing here ever waits for a server.
class Mailer {
public:
    explicit Mailer(MailerParts parts);
    ~Mailer();

    // The settings as stored (the password in its stored form).
    void setSettings(const MailSettings& settings) { settings_ = settings; }
    const MailSettings& settings() const { return settings_; }

    // A run has ended; its own warnings are in `run`.
    void runEnded(const RunMailFacts& run);
    // A warning outside a run: it waits a minute for others to share its mail.
    void warned(const std::string& text);
    // Sends the warnings whose minute has passed; called every second.
    void tick();
    // A test mail with `settings` (the password in clear) at once; `answer` hears the outcome, on
    // the machine's thread, as the dialog shows it.
    void test(const MailSettings& settings, std::function<void(const std::string&)> answer);
    // Whether mail waits to be sent (or tried again).
    bool pending() const;
    // The program's end: waiting warnings go now, and what is queued gets kMailTimeAtEnd. Returns
    // the run-log lines of mails not sent.
    std::vector<std::string> stop();

private:
    // The mail as it goes out; nothing (and why) when it cannot be made.
    std::optional<OutgoingMail> outgoing(const MailSettings& settings, const std::string& password,
                                         const MailContent& content, std::string& why);
    void queue(const MailContent& content);

    MailerParts parts_;
    MailSettings settings_;
    WarningBatch batch_;
    unsigned long long sent_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<MailOutbox> outbox_;  // last: its thread calls into what is above
};

// The reply shown in the dialog for a test mail: "Gönderildi: 250 ..." or "Gönderilemedi: ...".
std::string testAnswerText(const MailSent& sent);

}  // namespace zel
