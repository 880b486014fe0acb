#include "settings/mail_settings.h"

#include <cctype>

#include "settings/settings_format.h"

namespace zel {
namespace {

// Letters, digits, dots and hyphens (a name or an IPv4 address), or an IPv6 address in brackets.
bool plainHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return false;
        for (char c : host.substr(1, host.size() - 2))
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
        return true;
    }
    if (host.front() == '.' || host.front() == '-') return false;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
    return true;
}

// One address as a mail server takes it in "MAIL FROM:<...>": no blanks, no brackets or quotes
// that could end it early, one '@' with something on both sides.
bool plainAddress(std::string_view address) {
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == address.size() || address.size() > 254) return false;
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7f || c == '<' || c == '>' || c == '"' || c == '(' || c == ')' || c == ',' ||
            c == ';' || c == '\\')
            return false;
    return plainHost(address.substr(at + 1));
}

}  // namespace

std::string_view mailSecurityText(MailSecurity security) {
    switch (security) {
        case MailSecurity::Tls: return "tls";
        case MailSecurity::None: return "yok";
        case MailSecurity::StartTls: break;
    }
    return "starttls";
}

std::optional<MailSecurity> mailSecurityFrom(std::string_view text) {
    for (MailSecurity s : {MailSecurity::StartTls, MailSecurity::Tls, MailSecurity::None})
        if (equalsIgnoringCase(text, mailSecurityText(s))) return s;
    return std::nullopt;
}

std::string_view mailWhatText(MailWhat what) {
    switch (what) {
        case MailWhat::Everything: return "hepsi";
        case MailWhat::Nothing: return "yok";
        case MailWhat::Failures: break;
    }
    return "hata";
}

std::optional<MailWhat> mailWhatFrom(std::string_view text) {
    for (MailWhat w : {MailWhat::Failures, MailWhat::Everything, MailWhat::Nothing})
        if (equalsIgnoringCase(text, mailWhatText(w))) return w;
    return std::nullopt;
}

bool mailOn(const MailSettings& settings) {
    return !settings.server.empty() && !mailRecipients(settings.to).empty() && settings.what != MailWhat::Nothing;
}

std::vector<std::string> mailRecipients(std::string_view to) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= to.size()) {
        std::size_t end = to.find_first_of(";,", start);
        if (end == std::string_view::npos) end = to.size();
        std::string_view piece = to.substr(start, end - start);
        while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t')) piece.remove_prefix(1);
        while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t')) piece.remove_suffix(1);
        if (!piece.empty()) out.emplace_back(piece);
        start = end + 1;
    }
    return out;
}

std::string mailSettingsProblem(const MailSettings& s) {
    if (hasControlCharacter(s.server) || hasControlCharacter(s.user) || hasControlCharacter(s.password) ||
        hasControlCharacter(s.from) || hasControlCharacter(s.to))
        return "Denetim karakteri kullanılamaz";
    if (!s.server.empty() && !plainHost(s.server)) return "Sunucu adı geçersiz: " + s.server;
    if (s.port < 1 || s.port > 65535) return "Bağlantı noktası 1 ile 65535 arasında olmalı";
    for (const std::string& to : mailRecipients(s.to))
        if (!plainAddress(to)) return "Alıcı adresi geçersiz: " + to;
    if (!s.from.empty() && !plainAddress(s.from)) return "Gönderen adresi geçersiz: " + s.from;
    if (!s.server.empty() && !mailRecipients(s.to).empty() && mailSender(s).empty())
        return "Gönderen adresi gerekli (Kimden)";
    return {};
}

bool keptPasswordFits(const MailSettings& stored, const MailSettings& edited) {
    return stored.server == edited.server && stored.port == edited.port &&
           stored.security == edited.security && stored.user == edited.user;
}

std::string mailSender(const MailSettings& settings) {
    if (!settings.from.empty()) return settings.from;
    if (plainAddress(settings.user)) return settings.user;
    return {};
}

}  // namespace zel
