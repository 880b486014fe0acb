#pragma once

#include <array>
#include <functional>
#include <string>

#include "settings/mail_settings.h"
#include "settings/watch_settings.h"

namespace zel {

// The settings dialog's values: the mail's page and the monitoring's. The stored password is never
// shown: `values.password` is empty going in (`passwordSet` says whether one is kept) and, coming
// back, holds a newly typed password or nothing to keep the stored one. Without a user name no
// password is kept.
struct MailForm {
    MailSettings values;
    bool passwordSet = false;
    WatchSettings watch;
    bool operator==(const MailForm&) const = default;
};

// The dialog's two actions, as the machine (alone) or the service (through the channel) does them.
struct MailDialogCalls {
    // Saves; returns why not (shown in the dialog), empty when the dialog may close.
    std::function<std::string(const MailForm&)> save;
    // Sends a test mail; `answer` comes later, on the window's thread.
    std::function<void(const MailForm&, std::function<void(const std::string&)> answer)> test;
};

// The dialog's texts.
inline constexpr std::string_view kSettingsButton = "Ayarlar...";
inline constexpr std::string_view kSettingsDialogTitle = "Ayarlar";
inline constexpr std::string_view kMailPage = "E-posta";
inline constexpr std::string_view kWatchPage = "İzleme";
inline constexpr std::string_view kMailTestButton = "Deneme gönder";
inline constexpr std::string_view kMailOk = "Tamam";
inline constexpr std::string_view kMailCancel = "Vazgeç";
inline constexpr std::string_view kMailSending = "Gönderiliyor...";
inline constexpr std::string_view kPasswordKept = "(kayıtlı)";
inline constexpr std::array<std::string_view, 8> kMailFieldLabels = {
    "Sunucu:", "Bağlantı noktası:", "Güvenlik:", "Kullanıcı:", "Parola:", "Kimden:", "Kime:", "Gönderilecek:"};
inline constexpr std::array<std::string_view, 2> kWatchFieldLabels = {"Metrik klasörü:", "İzleme adresi:"};

// The lists' entries, in the order the lists show them.
inline constexpr std::array<std::pair<MailSecurity, std::string_view>, 3> kMailSecurityChoices = {{
    {MailSecurity::StartTls, "STARTTLS (587)"},
    {MailSecurity::Tls, "TLS (465)"},
    {MailSecurity::None, "Yok (yalnız yerel ağdaki sunucu)"},
}};
inline constexpr std::array<std::pair<MailWhat, std::string_view>, 3> kMailWhatChoices = {{
    {MailWhat::Failures, "Hatalar ve uyarılar"},
    {MailWhat::Everything, "Her yedekleme ve uyarılar"},
    {MailWhat::Nothing, "Hiçbir şey"},
}};
int mailSecurityIndex(MailSecurity security);
int mailWhatIndex(MailWhat what);

// What the dialog's boxes hold, as a toolkit reads them; an index is a list's entry (-1: none).
struct MailBoxes {
    std::string server;
    int port = kDefaultMailPort;
    int securityIndex = 0;
    std::string user;
    std::string password;
    std::string from;
    std::string to;
    int whatIndex = 0;
    std::string metricsFolder;
    std::string pingAddress;
};
// The form the boxes give: each text without the blanks around it, save the password, which may
// hold any; a list without a valid entry chosen gives its first.
MailForm mailFormOf(const MailBoxes& boxes);

// The port after the security was changed: the usual port of the new choice when the old one
// had its own usual port (587 and 465 swap), else the port as it was.
int portAfterSecurityChange(int port, MailSecurity before, MailSecurity after);

}  // namespace zel
