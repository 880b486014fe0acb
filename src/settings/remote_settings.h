#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel {

// What kind of second place the archives go to: none, a folder (a second disk, a USB disk, a
// share), or S3-compatible object storage.
enum class RemoteKind { None, Folder, S3 };
// How S3's Object Lock holds a copy: nobody may delete it before its date (compliance), or only a
// user with the right to bypass it (governance).
enum class LockMode { Compliance, Governance };

// The second place as the extra settings file holds it. `secret` is the stored form, as the mail
// password's: on Windows "dpapi:<base64>", elsewhere the secret itself in a file only its owner reads.
struct RemoteSettings {
    RemoteKind kind = RemoteKind::None;
    // A folder: its path ("\\nas\yedek", "e:\yedek", "/mnt/yedek"). S3: the endpoint's URL.
    std::string address;
    std::string user;  // a share's user name (Windows); S3: the access key id
    std::string secret;
    std::string region;  // S3
    std::string bucket;  // S3
    std::string prefix;  // S3: the keys' beginning, "" or "ofis/" for instance
    // Archives kept there per pair; nothing: as many as in the target folder; 0 keeps all.
    std::optional<int> keep;
    int speedLimitKb = 0;  // KB/s while sending; 0: no limit
    int lockDays = 0;      // S3: each object is locked for this many days; 0: no lock
    LockMode lockMode = LockMode::Compliance;
    bool operator==(const RemoteSettings&) const = default;
};

inline constexpr int kRemoteSpeedMax = 1000000;
inline constexpr int kLockDaysMax = 36500;

// The file's words: "klasor", "s3" (empty: none); "uyum", "yonetim".
std::string_view remoteKindText(RemoteKind kind);
std::optional<RemoteKind> remoteKindFrom(std::string_view text);
std::string_view lockModeText(LockMode mode);
std::optional<LockMode> lockModeFrom(std::string_view text);

// Archives kept there per pair: its own number, else the target folders' `keepHere`.
int keepThere(const RemoteSettings& settings, int keepHere);

// What is wrong with the settings, in the dialog's words; empty when they can be used. A folder is
// a whole path; S3 needs an https endpoint (http only for a loopback or private-network address,
// written so), a region, a bucket name as S3 allows it, a key id and a secret; no text holds a
// control character, and the prefix no "..".
std::string remoteSettingsProblem(const RemoteSettings& settings);

}  // namespace zel
