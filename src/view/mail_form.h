#pragma once

#include <array>
#include <functional>
#include <string>

#include "settings/mail_settings.h"
#include "settings/remote_settings.h"
#include "settings/run_command_settings.h"
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
    // The second place; its secret as the mail password: `remote.secret` empty going in
    // (`secretSet`), and coming back a newly typed one or nothing to keep the stored one.
    RemoteSettings remote;
    bool secretSet = false;
    RunCommandSettings commands;
    bool operator==(const MailForm&) const = default;
};

// The dialog's actions, as the machine (alone) or the service (through the channel) does them.
struct MailDialogCalls {
    // Saves; returns why not (shown in the dialog), empty when the dialog may close.
    std::function<std::string(const MailForm&)> save;
    // Sends a test mail; `answer` comes later, on the window's thread.
    std::function<void(const MailForm&, std::function<void(const std::string&)> answer)> test;
    // "Deneme" of the second place's page; `answer` (its steps, a line each) comes the same way.
    std::function<void(const MailForm&, std::function<void(const std::string&)> answer)> trial;
};

// The dialog's texts.
inline constexpr std::string_view kSettingsButton = "Ayarlar...";
inline constexpr std::string_view kSettingsDialogTitle = "Ayarlar";
inline constexpr std::string_view kMailPage = "E-posta";
inline constexpr std::string_view kWatchPage = "İzleme";
inline constexpr std::string_view kRemotePage = "Uzak kopya";
inline constexpr std::string_view kCommandsPage = "Komutlar";
inline constexpr std::string_view kRemoteTestButton = "Deneme";
inline constexpr std::string_view kRemoteTesting = "Deneniyor...";
inline constexpr std::string_view kMailTestButton = "Deneme gönder";
inline constexpr std::string_view kMailOk = "Tamam";
inline constexpr std::string_view kMailCancel = "Vazgeç";
inline constexpr std::string_view kMailSending = "Gönderiliyor...";
inline constexpr std::string_view kPasswordKept = "(kayıtlı)";
inline constexpr std::array<std::string_view, 8> kMailFieldLabels = {
    "Sunucu:", "Bağlantı noktası:", "Güvenlik:", "Kullanıcı:", "Parola:", "Kimden:", "Kime:", "Gönderilecek:"};
inline constexpr std::array<std::string_view, 2> kWatchFieldLabels = {"Metrik klasörü:", "İzleme adresi:"};
inline constexpr std::array<std::string_view, 11> kRemoteFieldLabels = {
    "Tür:", "Klasör ya da S3 adresi:", "Kullanıcı / erişim anahtarı:", "Parola / gizli anahtar:", "Bölge:", "Kova:",
    "Anahtar öneki:", "Saklanacak (boş: aynı, 0: hepsi):", "Hız sınırı (KB/s, 0: yok):", "Kilit günü (0: yok):",
    "Kilit türü:"};
inline constexpr std::array<std::string_view, 3> kCommandFieldLabels = {"Önceki komut:", "Sonraki komut:",
                                                                      "Gölge kopya (Windows):"};
inline constexpr std::array<std::pair<ShadowCopyMode, std::string_view>, 3> kShadowCopyChoices = {{
    {ShadowCopyMode::Auto, "Otomatik (alınamazsa canlı dosyalar)"},
    {ShadowCopyMode::Off, "Hayır"},
    {ShadowCopyMode::Required, "Zorunlu (alınamazsa yedekleme başarısız)"},
}};
inline constexpr std::array<std::pair<RemoteKind, std::string_view>, 3> kRemoteKindChoices = {{
    {RemoteKind::None, "Yok"},
    {RemoteKind::Folder, "Klasör (disk, USB, paylaşım)"},
    {RemoteKind::S3, "S3 uyumlu depolama"},
}};
inline constexpr std::array<std::pair<LockMode, std::string_view>, 2> kLockModeChoices = {{
    {LockMode::Compliance, "Uyum (kimse silemez)"},
    {LockMode::Governance, "Yönetim (yetkili silebilir)"},
}};

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
int remoteKindIndex(RemoteKind kind);
int lockModeIndex(LockMode mode);
int shadowCopyIndex(ShadowCopyMode mode);

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
    int remoteKindIndex = 0;
    std::string remoteAddress;
    std::string remoteUser;
    std::string remoteSecret;
    std::string remoteRegion;
    std::string remoteBucket;
    std::string remotePrefix;
    std::string remoteKeep;  // empty: as many as the target folders keep
    std::string remoteSpeed;
    std::string remoteLockDays;
    int lockModeIndex = 0;
    std::string commandBefore;
    std::string commandAfter;
    int shadowCopyIndex = 0;
};
// The form the boxes give: each text without the blanks around it, save the password and the
// secret, which may hold any; a list without a valid entry chosen gives its first; a number box
// that holds no number within its range gives -1, which the settings' check refuses.
MailForm mailFormOf(const MailBoxes& boxes);

// The port after the security was changed: the usual port of the new choice when the old one
// had its own usual port (587 and 465 swap), else the port as it was.
int portAfterSecurityChange(int port, MailSecurity before, MailSecurity after);

}  // namespace zel
