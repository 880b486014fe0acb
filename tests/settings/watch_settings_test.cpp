#include "settings/remote_settings.h"
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

TEST(RemoteSettingsProblem, AFolderIsAWholePathAndS3AnHttpsStoreWithItsNames) {
    auto folder = [](const char* path, const char* user = "", const char* secret = "") {
        return RemoteSettings{RemoteKind::Folder, path, user, secret};
    };
    auto s3 = [](const char* endpoint, const char* bucket = "kova", const char* prefix = "ofis/") {
        return RemoteSettings{RemoteKind::S3, endpoint, "AKIA", "gizli", "eu-central-1", bucket, prefix};
    };
    RemoteSettings badKeep = folder("e:\\y");
    badKeep.keep = -1;
    const std::pair<RemoteSettings, bool> cases[] = {  // settings, usable
        {{}, true},
        {folder("\\\\nas\\yedek", "yedekci", "p"), true},
        {folder("/mnt/yedek"), true},
        {folder("yedek"), false},
        {folder("\\\\nas\\yedek", "yedekci"), false},  // a share's user needs its password
        {folder("e:\\y\r\n"), false},
        {badKeep, false},
        {s3("https://s3.eu-central-1.amazonaws.com"), true},
        {s3("http://127.0.0.1:9000"), true},
        {s3("http://192.168.1.20:9000"), true},
        {s3("http://172.31.0.1"), true},
        {s3("http://localhost:9000/"), true},
        {s3("http://s3.ornek.com"), false},  // plain http across the internet
        {s3("http://172.32.0.1"), false},
        {s3("http://10.0.0.1.ornek.com"), false},
        {s3("https://user:pw@s3.o.com"), false},
        {s3("ftp://s3.o.com"), false},
        {s3("https://s3.o.com", "Kova"), false},
        {s3("https://s3.o.com", "ko"), false},
        {s3("https://s3.o.com", "kova-"), false},
        {s3("https://s3.o.com", "kova", "/ofis"), false},
        {s3("https://s3.o.com", "kova", "a/../b"), false},
        {{RemoteKind::S3, "https://s3.o.com", "", "", "r", "kova"}, false},  // no key
    };
    for (const auto& [settings, usable] : cases)
        EXPECT_EQ(remoteSettingsProblem(settings).empty(), usable) << settings.address << " " << settings.bucket;
}

}  // namespace
}  // namespace zel
