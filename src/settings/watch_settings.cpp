#include "settings/watch_settings.h"

#include "settings/settings_format.h"

namespace zel {
namespace {

constexpr std::size_t kLongest = 1000;

}  // namespace

std::string watchSettingsProblem(const WatchSettings& s) {
    if (!s.metricsFolder.empty() &&
        (s.metricsFolder.size() > kLongest || hasControlCharacter(s.metricsFolder) || !isWholePath(s.metricsFolder)))
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
