#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// How the connection to the mail server is protected: STARTTLS on a plain connection (port 587),
// TLS from the first byte (port 465), or nothing, for a relay on the local network only.
enum class MailSecurity { StartTls, Tls, None };
// What is mailed: failures and warnings, every run too, or nothing.
enum class MailWhat { Failures, Everything, Nothing };

inline constexpr int kDefaultMailPort = 587;

// The mail settings as the extra settings file holds them. `password` is the stored form: on
// Windows "dpapi:<base64>", elsewhere the password itself in a file only its owner reads.
struct MailSettings {
    std::string server;
    int port = kDefaultMailPort;
    MailSecurity security = MailSecurity::StartTls;
    std::string user;
    std::string password;
    std::string from;
    std::string to;  // one or more addresses, separated by ';' or ','
    MailWhat what = MailWhat::Failures;
    bool operator==(const MailSettings&) const = default;
};

// The file's words for the choices: "starttls", "tls", "yok"; "hata", "hepsi", "yok".
std::string_view mailSecurityText(MailSecurity security);
std::optional<MailSecurity> mailSecurityFrom(std::string_view text);
std::string_view mailWhatText(MailWhat what);
std::optional<MailWhat> mailWhatFrom(std::string_view text);

// Mail goes out only with a server and a recipient, and unless it is turned off.
bool mailOn(const MailSettings& settings);

// The addresses of `to`, without the blanks around them; empty pieces are skipped.
std::vector<std::string> mailRecipients(std::string_view to);

// What is wrong with the settings, in the dialog's words; empty when they can be used. A server is
// a host name or an IP address, every address is one plain address ("ad@alan"), and nothing holds
// a control character: these texts go into the mail's headers and the server's URL.
std::string mailSettingsProblem(const MailSettings& settings);

// Whether the password kept with `stored` may go out with `edited`: only to the same server, port,
// security and user. Whoever points the mail elsewhere types the password again, so that a changed
// server can never be handed the kept one.
bool keptPasswordFits(const MailSettings& stored, const MailSettings& edited);
inline constexpr std::string_view kRetypePassword =
    "Sunucu, bağlantı noktası, güvenlik ya da kullanıcı değişti: parolayı yeniden girin";

// The sender's address: "Kimden", else the user name when it is an address; empty when neither.
std::string mailSender(const MailSettings& settings);

}  // namespace zel
