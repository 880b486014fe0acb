#include "settings/extra_settings.h"

#include <array>
#include <cctype>

#include "settings/settings_format.h"

namespace zel {
namespace {

std::string_view trimBlanks(std::string_view s);

// A key of the file: how its value is read into the settings (a bad value leaves the default)
// and written out.
struct Key {
    std::string_view name;
    void (*read)(ExtraSettings&, std::string_view value);
    std::string (*write)(const ExtraSettings&);
    // A key the lines lack is added only when this says so (none: always), so that a file
    // without mail or monitoring stays as it was.
    bool (*added)(const ExtraSettings&) = nullptr;
};

bool mailSetUp(const ExtraSettings& s) { return s.mail != MailSettings{}; }

template <int ExtraSettings::*member, int high>
constexpr Key numberKey(std::string_view name) {
    return {name,
            [](ExtraSettings& s, std::string_view v) {
                if (const std::optional<int> n = wholeNumberIn(v, 0, high)) s.*member = *n;
            },
            [](const ExtraSettings& s) { return std::to_string(s.*member); }};
}

template <std::string MailSettings::*member, bool trimmed = true>
constexpr Key textKey(std::string_view name) {
    return {name, [](ExtraSettings& s, std::string_view v) { s.mail.*member = trimmed ? trimBlanks(v) : v; },
            [](const ExtraSettings& s) { return s.mail.*member; }, mailSetUp};
}

template <std::string WatchSettings::*member>
constexpr Key watchKey(std::string_view name) {
    return {name, [](ExtraSettings& s, std::string_view v) { s.watch.*member = trimBlanks(v); },
            [](const ExtraSettings& s) { return s.watch.*member; },
            [](const ExtraSettings& s) { return !(s.watch.*member).empty(); }};
}

bool remoteSetUp(const ExtraSettings& s) { return s.remote != RemoteSettings{}; }

template <std::string RemoteSettings::*member, bool trimmed = true>
constexpr Key remoteText(std::string_view name) {
    return {name, [](ExtraSettings& s, std::string_view v) { s.remote.*member = trimmed ? trimBlanks(v) : v; },
            [](const ExtraSettings& s) { return s.remote.*member; }, remoteSetUp};
}

template <int RemoteSettings::*member, int high>
constexpr Key remoteNumber(std::string_view name) {
    return {name,
            [](ExtraSettings& s, std::string_view v) {
                if (const std::optional<int> n = wholeNumberIn(v, 0, high)) s.remote.*member = *n;
            },
            [](const ExtraSettings& s) { return std::to_string(s.remote.*member); }, remoteSetUp};
}

template <std::string RunCommandSettings::*member>
constexpr Key commandKey(std::string_view name) {
    return {name, [](ExtraSettings& s, std::string_view v) { s.commands.*member = trimBlanks(v); },
            [](const ExtraSettings& s) { return s.commands.*member; },
            [](const ExtraSettings& s) { return !(s.commands.*member).empty(); }};
}

const std::array<Key, 26> kKeys = {{
    numberKey<&ExtraSettings::keepArchives, kKeepArchivesMax>(kKeepArchivesKey),
    numberKey<&ExtraSettings::missedRun, 1>(kMissedRunKey),
    textKey<&MailSettings::server>(kMailServerKey),
    {kMailPortKey,
     [](ExtraSettings& s, std::string_view v) {
         if (const std::optional<int> n = wholeNumberIn(v, 1, 65535)) s.mail.port = *n;
     },
     [](const ExtraSettings& s) { return std::to_string(s.mail.port); }, mailSetUp},
    {kMailSecurityKey,
     [](ExtraSettings& s, std::string_view v) {
         if (const std::optional<MailSecurity> m = mailSecurityFrom(trimBlanks(v))) s.mail.security = *m;
     },
     [](const ExtraSettings& s) { return std::string(mailSecurityText(s.mail.security)); }, mailSetUp},
    textKey<&MailSettings::user>(kMailUserKey),
    textKey<&MailSettings::password, false>(kMailPasswordKey),
    textKey<&MailSettings::from>(kMailFromKey),
    textKey<&MailSettings::to>(kMailToKey),
    {kMailWhatKey,
     [](ExtraSettings& s, std::string_view v) {
         if (const std::optional<MailWhat> w = mailWhatFrom(trimBlanks(v))) s.mail.what = *w;
     },
     [](const ExtraSettings& s) { return std::string(mailWhatText(s.mail.what)); }, mailSetUp},
    watchKey<&WatchSettings::metricsFolder>(kMetricsFolderKey),
    watchKey<&WatchSettings::pingAddress>(kPingAddressKey),
    {kRemoteKindKey,
     [](ExtraSettings& s, std::string_view v) {
         if (const std::optional<RemoteKind> k = remoteKindFrom(trimBlanks(v))) s.remote.kind = *k;
     },
     [](const ExtraSettings& s) { return std::string(remoteKindText(s.remote.kind)); }, remoteSetUp},
    remoteText<&RemoteSettings::address>(kRemoteAddressKey),
    remoteText<&RemoteSettings::user>(kRemoteUserKey),
    remoteText<&RemoteSettings::secret, false>(kRemoteSecretKey),
    remoteText<&RemoteSettings::region>(kRemoteRegionKey),
    remoteText<&RemoteSettings::bucket>(kRemoteBucketKey),
    remoteText<&RemoteSettings::prefix>(kRemotePrefixKey),
    // Empty: as many as the target folders keep.
    {kRemoteKeepKey,
     [](ExtraSettings& s, std::string_view v) { s.remote.keep = wholeNumberIn(v, 0, kKeepArchivesMax); },
     [](const ExtraSettings& s) { return s.remote.keep ? std::to_string(*s.remote.keep) : std::string(); },
     remoteSetUp},
    remoteNumber<&RemoteSettings::speedLimitKb, kRemoteSpeedMax>(kRemoteSpeedKey),
    remoteNumber<&RemoteSettings::lockDays, kLockDaysMax>(kRemoteLockDaysKey),
    {kRemoteLockModeKey,
     [](ExtraSettings& s, std::string_view v) {
         if (const std::optional<LockMode> m = lockModeFrom(trimBlanks(v))) s.remote.lockMode = *m;
     },
     [](const ExtraSettings& s) { return std::string(lockModeText(s.remote.lockMode)); }, remoteSetUp},
    commandKey<&RunCommandSettings::before>(kCommandBeforeKey),
    commandKey<&RunCommandSettings::after>(kCommandAfterKey),
    {kShadowCopyKey,
     [](ExtraSettings& s, std::string_view v) {
         if (const std::optional<ShadowCopyMode> m = shadowCopyModeFrom(trimBlanks(v))) s.commands.shadowCopy = *m;
     },
     [](const ExtraSettings& s) { return std::string(shadowCopyModeText(s.commands.shadowCopy)); },
     [](const ExtraSettings& s) { return s.commands.shadowCopy != ShadowCopyMode::Auto; }},
}};

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The index in kKeys of the key a line sets, and the text of its value; nothing for a line the
// file does not own.
std::optional<std::size_t> keyOf(std::string_view line, std::string_view& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = trimBlanks(line.substr(0, equals));
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (equalsIgnoringCase(name, kKeys[i].name)) {
            value = line.substr(equals + 1);
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> wholeNumberIn(std::string_view text, int low, int high) {
    text = trimBlanks(text);
    if (text.empty()) return std::nullopt;
    long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > high) return std::nullopt;  // also before a long run of digits could overflow
    }
    if (n < low) return std::nullopt;
    return static_cast<int>(n);
}

ExtraSettingsFile parseExtraSettings(std::string_view text) {
    ExtraSettingsFile file;
    file.lines = textLines(text);
    std::array<bool, kKeys.size()> seen{};
    for (const std::string& line : file.lines) {
        std::string_view value;
        const std::optional<std::size_t> key = keyOf(line, value);
        if (!key || seen[*key]) continue;
        seen[*key] = true;
        kKeys[*key].read(file.values, value);
    }
    return file;
}

std::string extraSettingsText(const ExtraSettingsFile& file) {
    std::string out;
    auto keyLine = [&](std::size_t key) {
        out += kKeys[key].name;
        out += '=';
        out += kKeys[key].write(file.values);
        out += "\r\n";
    };
    std::array<bool, kKeys.size()> written{};
    for (const std::string& line : file.lines) {
        std::string_view value;
        if (const std::optional<std::size_t> key = keyOf(line, value)) {
            keyLine(*key);
            written[*key] = true;
            continue;
        }
        out += line;
        out += "\r\n";
    }
    for (std::size_t key = 0; key < kKeys.size(); ++key)
        if (!written[key] && (!kKeys[key].added || kKeys[key].added(file.values))) keyLine(key);
    return out;
}

std::string extraSettingsPath(std::string_view programFolder) {
    return std::string(programFolder) + "\\" + std::string(kExtraSettingsFileName);
}

}  // namespace zel
