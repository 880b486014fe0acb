#include "window/mail_form.h"

namespace zel {
namespace {

int usualPort(MailSecurity security) {
    return security == MailSecurity::Tls ? 465 : security == MailSecurity::StartTls ? 587 : 25;
}

}  // namespace

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

int portAfterSecurityChange(int port, MailSecurity before, MailSecurity after) {
    return port == usualPort(before) ? usualPort(after) : port;
}

}  // namespace zel
