#include "settings/remote_settings.h"

#include <algorithm>
#include <array>

#include "settings/settings_format.h"

namespace zel {
namespace {

constexpr std::size_t kLongest = 1000;

// Up to three digits and nothing else.
std::optional<int> wholeNumber(std::string_view piece) {
    if (piece.empty() || piece.size() > 3) return std::nullopt;
    int n = 0;
    for (const char c : piece) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool lowerOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

// 3 to 63 of a-z, 0-9, '.', '-', beginning and ending with a letter or a digit: a name every
// S3-compatible store takes in a path-style URL.
bool bucketName(std::string_view b) {
    return b.size() >= 3 && b.size() <= 63 && lowerOrDigit(b.front()) && lowerOrDigit(b.back()) &&
           std::all_of(b.begin(), b.end(), [](char c) { return lowerOrDigit(c) || c == '.' || c == '-'; });
}

// The host of a URL after its scheme: up to the port, the path or the end ("[::1]" kept whole).
std::string_view hostOf(std::string_view rest) {
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        return close == std::string_view::npos ? rest : rest.substr(0, close + 1);
    }
    return rest.substr(0, rest.find_first_of(":/?"));
}

// Plain http is for a store on this machine or the office's own network only: the secret signs
// each request, but the archives would cross any other network readable by all.
bool privateHost(std::string_view host) {
    if (host == "localhost" || host == "[::1]") return true;
    std::array<int, 4> parts{};
    std::size_t count = 0;
    for (std::size_t at = 0; at <= host.size(); ++count) {
        const std::size_t end = std::min(host.find('.', at), host.size());
        const std::optional<int> n = count < 4 ? wholeNumber(host.substr(at, end - at)) : std::nullopt;
        if (!n || *n > 255) return false;
        parts[count] = *n;
        at = end + 1;
    }
    return count == 4 && (parts[0] == 127 || parts[0] == 10 || (parts[0] == 192 && parts[1] == 168) ||
                          (parts[0] == 172 && parts[1] >= 16 && parts[1] <= 31));
}

std::string endpointProblem(std::string_view url) {
    const bool https = startsIgnoringCase(url, "https://");
    const bool http = !https && startsIgnoringCase(url, "http://");
    const std::string_view rest = url.substr(https ? 8 : http ? 7 : 0);
    const std::string_view host = hostOf(rest);
    if ((!https && !http) || host.empty() || url.size() > kLongest || url.find_first_of(" \t#?@") != std::string_view::npos)
        return "S3 adresi https:// ile başlayan, boşluksuz bir adres olmalı";
    if (http && !privateHost(host)) return "S3 adresi https:// olmalı (http:// yalnız bu makine ya da yerel ağ için)";
    return {};
}

}  // namespace

std::string_view remoteKindText(RemoteKind kind) {
    switch (kind) {
        case RemoteKind::Folder: return "klasor";
        case RemoteKind::S3: return "s3";
        case RemoteKind::None: break;
    }
    return "";
}

std::optional<RemoteKind> remoteKindFrom(std::string_view text) {
    for (const RemoteKind k : {RemoteKind::None, RemoteKind::Folder, RemoteKind::S3})
        if (equalsIgnoringCase(text, remoteKindText(k))) return k;
    return std::nullopt;
}

std::string_view lockModeText(LockMode mode) { return mode == LockMode::Governance ? "yonetim" : "uyum"; }

std::optional<LockMode> lockModeFrom(std::string_view text) {
    for (const LockMode m : {LockMode::Compliance, LockMode::Governance})
        if (equalsIgnoringCase(text, lockModeText(m))) return m;
    return std::nullopt;
}

int keepThere(const RemoteSettings& settings, int keepHere) { return settings.keep.value_or(keepHere); }

std::string remoteSettingsProblem(const RemoteSettings& s) {
    if (s.kind == RemoteKind::None) return {};
    if (s.keep.value_or(0) < 0 || s.speedLimitKb < 0 || s.lockDays < 0)
        return "Saklanacak sayı, hız sınırı ve kilit günü birer tam sayı olmalı";
    for (const std::string* text : {&s.address, &s.user, &s.region, &s.bucket, &s.prefix})
        if (text->size() > kLongest || hasControlCharacter(*text)) return "Uzak kopya ayarlarında geçersiz bir karakter var";
    if (s.kind == RemoteKind::Folder) {
        if (!isWholePath(s.address)) return "Uzak klasör tam bir yol olmalı (\\\\sunucu\\paylaşım, e:\\... ya da /...)";
        if (!s.user.empty() && s.secret.empty()) return "Paylaşımın kullanıcısı için parola gerekli";
        return {};
    }
    if (std::string problem = endpointProblem(s.address); !problem.empty()) return problem;
    if (s.region.empty() || !std::all_of(s.region.begin(), s.region.end(), [](char c) {
            return lowerOrDigit(c) || c == '-';
        }))
        return "S3 bölgesi gerekli (us-east-1 gibi)";
    if (!bucketName(s.bucket)) return "S3 kova adı 3-63 küçük harf, rakam, nokta ya da tireden oluşmalı";
    if (s.prefix.starts_with('/') || s.prefix.find("..") != std::string::npos || s.prefix.find('\\') != std::string::npos)
        return "S3 anahtar öneki / ile başlayamaz, .. ve \\ içeremez";
    if (s.user.empty() || s.secret.empty()) return "S3 erişim anahtarı ve gizli anahtar gerekli";
    return {};
}

}  // namespace zel
