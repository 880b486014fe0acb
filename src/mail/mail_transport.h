#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "settings/mail_settings.h"

namespace zel {

// One mail as it goes to the server: where to, how, and its whole text.
struct OutgoingMail {
    std::string server;
    int port = kDefaultMailPort;
    MailSecurity security = MailSecurity::StartTls;
    std::string user;      // empty: the server is not asked to authenticate
    std::string password;  // in clear, only for the moment of sending
    std::string sender;
    std::vector<std::string> recipients;
    std::string text;
};

// The server's last answer ("250 2.0.0 Ok: queued", "535 5.7.8 ...") or why there was none.
struct MailSent {
    bool ok = false;
    std::string answer;
};

// Sends a mail and waits for the outcome; tests replace it.
class MailTransport {
public:
    virtual ~MailTransport() = default;
    // Gives up soon after `abort` turns true.
    virtual MailSent send(const OutgoingMail& mail, const std::atomic<bool>& abort) = 0;
};

}  // namespace zel
