#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/mail_settings.h"
#include "settings/remote_settings.h"
#include "settings/run_command_settings.h"
#include "settings/watch_settings.h"

namespace zel {

// The second settings file, beside the first: lines "Anahtar=Değer", the keys below in any order,
// anything else (other keys, comments, empty lines) kept as it is.
inline constexpr std::string_view kExtraSettingsFileName = "TarvelYedekEk.ini";
inline constexpr std::string_view kKeepArchivesKey = "SaklanacakYedek";
inline constexpr std::string_view kMissedRunKey = "KacanYedek";
inline constexpr std::string_view kMailServerKey = "EpostaSunucu";
inline constexpr std::string_view kMailPortKey = "EpostaPort";
inline constexpr std::string_view kMailSecurityKey = "EpostaGuvenlik";
inline constexpr std::string_view kMailUserKey = "EpostaKullanici";
inline constexpr std::string_view kMailPasswordKey = "EpostaParola";
inline constexpr std::string_view kMailFromKey = "EpostaKimden";
inline constexpr std::string_view kMailToKey = "EpostaKime";
inline constexpr std::string_view kMailWhatKey = "EpostaNe";
inline constexpr std::string_view kMetricsFolderKey = "MetrikKlasoru";
inline constexpr std::string_view kPingAddressKey = "IzlemeAdresi";
inline constexpr std::string_view kRemoteKindKey = "UzakTur";
inline constexpr std::string_view kRemoteAddressKey = "UzakAdres";
inline constexpr std::string_view kRemoteUserKey = "UzakKullanici";
inline constexpr std::string_view kRemoteSecretKey = "UzakParola";
inline constexpr std::string_view kRemoteRegionKey = "UzakBolge";
inline constexpr std::string_view kRemoteBucketKey = "UzakKova";
inline constexpr std::string_view kRemotePrefixKey = "UzakOnek";
inline constexpr std::string_view kRemoteKeepKey = "UzakSaklanacak";
inline constexpr std::string_view kRemoteSpeedKey = "UzakHiz";
inline constexpr std::string_view kRemoteLockDaysKey = "UzakKilitGun";
inline constexpr std::string_view kRemoteLockModeKey = "UzakKilitTuru";
inline constexpr std::string_view kCommandBeforeKey = "OncekiKomut";
inline constexpr std::string_view kCommandAfterKey = "SonrakiKomut";
inline constexpr std::string_view kShadowCopyKey = "GolgeKopya";
inline constexpr int kKeepArchivesMax = 999;

// What the file holds; the defaults are what the program did before the file existed.
struct ExtraSettings {
    int keepArchives = 0;  // archives kept per target folder, 0 keeps all
    int missedRun = 0;     // 1: a backup missed while the program was not running is taken at start-up
    MailSettings mail;
    WatchSettings watch;
    RemoteSettings remote;
    RunCommandSettings commands;
    bool operator==(const ExtraSettings&) const = default;
};

// The file as read: its values, and all of its lines without their ends, so that a save writes
// every line it does not own back in its place.
struct ExtraSettingsFile {
    ExtraSettings values;
    std::vector<std::string> lines;
};

// A value as the file or a box gives it: a whole number from `low` to `high`, spaces around it
// allowed; nothing for anything else.
std::optional<int> wholeNumberIn(std::string_view text, int low, int high);

// Reads the file's text (CR LF or LF line ends). A key matches in any letter case, with spaces
// around it; its first line counts. A missing key, or a bad value (a number out of its range, a
// word that is not one of its choices), reads as the default. Texts lose the blanks around them,
// except the password, which is everything after the '='.
ExtraSettingsFile parseExtraSettings(std::string_view text);

// The file's text: the lines as read, each line of a known key now carrying its value, a key the
// lines lack added at the end (the mail's keys only once mail is set up, a monitoring key only
// once it is set, the second place's once one is, a command's once it is set, the shadow copy's
// once it is not the default); every line ends with CR LF.
std::string extraSettingsText(const ExtraSettingsFile& file);

// The executable's folder text followed directly by "\TarvelYedekEk.ini".
std::string extraSettingsPath(std::string_view programFolder);

}  // namespace zel
