#include "settings/watch_settings.h"

#include <cctype>

namespace zel {
namespace {

constexpr std::size_t kLongest = 1000;

bool hasControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

bool startsIgnoringCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != start[i]) return false;
    return true;
}

// "c:\...", "\\server\share\..." or "/...": a path that means the same to a service as to a window.
bool wholePath(std::string_view folder) {
    const bool drive = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                       folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/');
    return drive || folder.starts_with("\\\\") || folder.starts_with('/');
}

}  // namespace

std::string watchSettingsProblem(const WatchSettings& s) {
    if (!s.metricsFolder.empty() &&
        (s.metricsFolder.size() > kLongest || hasControl(s.metricsFolder) || !wholePath(s.metricsFolder)))
        return "Metrik klasörü tam bir yol olmalı (c:\\... ya da /...)";
    if (s.pingAddress.empty()) return {};
    const std::string_view a = s.pingAddress;
    const std::size_t scheme = startsIgnoringCase(a, "https://") ? 8 : startsIgnoringCase(a, "http://") ? 7 : 0;
    const bool blanks = a.find_first_of(" \t") != std::string_view::npos;
    if (scheme == 0 || a.size() == scheme || a[scheme] == '/' || a.size() > kLongest || blanks || hasControl(a) ||
        a.find('#') != std::string_view::npos)
        return "İzleme adresi http:// ya da https:// ile başlayan, boşluksuz bir adres olmalı";
    return {};
}

}  // namespace zel
