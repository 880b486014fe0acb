#include "settings/watch_settings.h"

#include <gtest/gtest.h>

#include "settings/extra_settings.h"

namespace zel {
namespace {

TEST(WatchSettingsProblem, AWholeFolderAndAnHttpAddressWithoutBlanksPass) {
    struct Case {
        const char* folder;
        const char* address;
        bool usable;
    };
    const Case cases[] = {
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
    for (const Case& c : cases)
        EXPECT_EQ(watchSettingsProblem({c.folder, c.address}).empty(), c.usable) << c.folder << " " << c.address;
}

TEST(ExtraSettingsWatch, KeysReadTrimmedAndOnlyASetOneIsAdded) {
    const ExtraSettings read =
        parseExtraSettings("metrikklasoru = /var/lib/metrik \r\nIzlemeAdresi=https://ornek.com/p\r\n").values;
    EXPECT_EQ(read.watch, (WatchSettings{"/var/lib/metrik", "https://ornek.com/p"}));

    ExtraSettingsFile file = parseExtraSettings("KacanYedek=1\r\n");
    EXPECT_EQ(extraSettingsText(file), "KacanYedek=1\r\nSaklanacakYedek=0\r\n");
    file.values.watch.pingAddress = "https://ornek.com/p";
    EXPECT_EQ(extraSettingsText(file), "KacanYedek=1\r\nSaklanacakYedek=0\r\nIzlemeAdresi=https://ornek.com/p\r\n");
    // A line of its own stays, emptied, when it is turned off.
    file = parseExtraSettings("MetrikKlasoru=c:\\m\r\n");
    file.values.watch.metricsFolder.clear();
    EXPECT_EQ(extraSettingsText(file), "MetrikKlasoru=\r\nSaklanacakYedek=0\r\nKacanYedek=0\r\n");
}

}  // namespace
}  // namespace zel
