#include "settings/watch_settings.h"

#include "platform/files/path_map.h"
#include "settings/settings_format.h"

namespace zel {
namespace {

constexpr std::size_t kLongest = 1000;

bool startsIgnoringCase(std::string_view text, std::string_view start) {
    return equalsIgnoringCase(text.substr(0, start.size()), start);
}

// "c:\...", "\\server\share\..." or "/...": a path that means the same to a service as to a window.
bool wholePath(std::string_view folder) {
    const bool drive = startsWithDrive(folder) && folder.size() >= 3 && (folder[2] == '\\' || folder[2] == '/');
    return drive || folder.starts_with("\\\\") || folder.starts_with('/');
}

}  // namespace

std::string watchSettingsProblem(const WatchSettings& s) {
    if (!s.metricsFolder.empty() &&
        (s.metricsFolder.size() > kLongest || hasControlCharacter(s.metricsFolder) || !wholePath(s.metricsFolder)))
        return "Metrik klasörü tam bir yol olmalı (c:\\... ya da /...)";
    if (s.pingAddress.empty()) return {};
    const std::string_view a = s.pingAddress;
    const std::size_t scheme = startsIgnoringCase(a, "https://") ? 8 : startsIgnoringCase(a, "http://") ? 7 : 0;
    const bool blanks = a.find_first_of(" \t") != std::string_view::npos;
    if (scheme == 0 || a.size() == scheme || a[scheme] == '/' || a.size() > kLongest || blanks || hasControlCharacter(a) ||
        a.find('#') != std::string_view::npos)
        return "İzleme adresi http:// ya da https:// ile başlayan, boşluksuz bir adres olmalı";
    return {};
}

}  // namespace zel
