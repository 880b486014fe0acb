#pragma once

#include <optional>
#include <string_view>

#include "channel/messages.h"
#include "view/mail_form.h"

namespace zel {

namespace verb {
inline constexpr std::string_view kMail = "mail";              // the service, to managers: the dialog's values
inline constexpr std::string_view kMailSave = "mailsave";      // a manager's window: "Tamam"
inline constexpr std::string_view kMailTest = "mailtest";      // a manager's window: "Deneme gönder"
inline constexpr std::string_view kMailTested = "mailtested";  // the service: <the test's answer>
inline constexpr std::string_view kRemoteTest = "remotetest";      // a manager's window: the second place's "Deneme"
inline constexpr std::string_view kRemoteTested = "remotetested";  // the service: <its steps>
}  // namespace verb

// The fields after each of the verbs: server, port, security, user, password (or its flag), from,
// to, what, then the metrics folder and the ping address, then the second place's kind, address,
// user, secret (or its flag), region, bucket, prefix, archives kept ("": as the target folders),
// speed limit, lock days and lock mode.
inline constexpr std::size_t kMailFields = 24;

// "mail" with the settings as the dialog shows them: the password only as set ("1") or not
// ("0"), never its text.
Message mailFormMessage(const MailForm& form);
std::optional<MailForm> parseMailForm(const Message& message);

// "mailsave", "mailtest" or "remotetest" with what the dialog holds: the password field is a newly typed one,
// or empty to keep the stored one.
Message mailEditMessage(std::string_view verb, const MailForm& edited);
// Null unless `message` is `verb` with a port in range and the choices' words; the texts are
// checked by whoever uses them.
std::optional<MailForm> parseMailEdit(const Message& message, std::string_view verb);

}  // namespace zel
