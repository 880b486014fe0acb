#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "mail/mail_transport.h"

namespace zel {

// SMTP through libcurl. The server's certificate is always checked (against `caFile` when given,
// else the system's store); a connection that cannot be protected as chosen is an error, never
// a mail sent in clear.
class CurlTransport final : public MailTransport {
public:
    CurlTransport(std::chrono::seconds connectLimit, std::chrono::seconds mailLimit, std::string caFile = {});
    MailSent send(const OutgoingMail& mail, const std::atomic<bool>& abort) override;

private:
    std::chrono::seconds connectLimit_;
    std::chrono::seconds mailLimit_;
    std::string caFile_;
};

inline constexpr std::chrono::seconds kMailConnectLimit{10};
inline constexpr std::chrono::seconds kMailSendLimit{60};

// The program's own transport, with the limits above. On Linux SSL_CERT_FILE, when set, names the
// CA certificates to trust instead of the system's, as OpenSSL's own programs read it; Windows
// trusts its certificate store.
std::unique_ptr<MailTransport> programMailTransport();

// The URL libcurl is given: "smtp://host:587" or, for TLS from the first byte, "smtps://host:465".
std::string mailServerUrl(const OutgoingMail& mail);

}  // namespace zel
