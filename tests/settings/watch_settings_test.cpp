#include "settings/watch_settings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace zel {
namespace {

TEST(WatchSettingsProblem, AWholeFolderAndAnHttpAddressWithoutBlanksPass) {
    const std::tuple<const char*, const char*, bool> cases[] = {  // folder, address, usable
        {"", "", true},
        {"c:\\metrik", "https://hc-ping.com/5f0e1c2a", true},
        {"/var/lib/prometheus/node-exporter", "HTTP://10.0.0.5:8000/ping/x", true},
        {"\\\\sunucu\\metrik", "", true},
        {"metrik", "", false},             // a relative folder means another place to a service
        {"c:metrik", "", false},
        {"/var/lib/x\ny", "", false},
        {"", "ftp://ornek.com/x", false},
        {"", "https://", false},
        {"", "https:///yol", false},
        {"", "https://ornek.com/a b", false},
        {"", "https://ornek.com/a\r\nHost: x", false},
        {"", "https://ornek.com/a#b", false},
        {"", "hc-ping.com/5f0e1c2a", false},
    };
    for (const auto& [folder, address, usable] : cases)
        EXPECT_EQ(watchSettingsProblem({folder, address}).empty(), usable) << folder << " " << address;
}

}  // namespace
}  // namespace zel
