#include "mail/ping.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>

namespace zel {
namespace {

using namespace std::chrono_literals;

TEST(PingTexts, TheKindHangsOffTheAddressAndTheBodyIsTheLastWholeLinesThatFit) {
    EXPECT_EQ(pingUrl("https://hc-ping.com/abc", PingKind::Start), "https://hc-ping.com/abc/start");
    EXPECT_EQ(pingUrl("https://hc-ping.com/abc//", PingKind::Failure), "https://hc-ping.com/abc/fail");
    EXPECT_EQ(pingBody({"bir", "iki", "üç"}, 9), "iki\nüç\n");
    EXPECT_EQ(pingBody({"uzun bir satır"}, 5), "");
    EXPECT_EQ(pingBody(std::vector<std::string>(2000, std::string(99, 'x'))).size(), 10200u);  // 102 lines in 10 KB
}

// What the pinger's sender was handed, in order.
struct Calls {
    std::mutex mutex;
    std::vector<std::string> urls;
    void add(const std::string& url) { std::lock_guard lock(mutex); urls.push_back(url); }
    std::vector<std::string> all() { std::lock_guard lock(mutex); return urls; }
};

TEST(Pinger, InOrderTriedThreeTimesThenGivenUpOnceAndTheLastOneStillGoesAtTheEnd) {
    Calls calls;
    std::promise<std::string> failed;
    {
        Pinger pinger(
            [&](const std::string& url, const std::string& body, const std::atomic<bool>&) {
                calls.add(url + "|" + body);
                return PingSent{!url.ends_with("/fail"), "HTTP 500"};
            },
            [&](const std::string& url, const std::string& why) { failed.set_value(url + ": " + why); }, 0ms);
        pinger.ping("http://x/start", "");
        pinger.ping("http://x/fail", "satır\n");
        auto told = failed.get_future();
        ASSERT_EQ(told.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(told.get(), "http://x/fail: HTTP 500");
        pinger.ping("http://x", "son\n");  // just before the end: it still goes
    }
    EXPECT_EQ(calls.all(), (std::vector<std::string>{"http://x/start|", "http://x/fail|satır\n", "http://x/fail|satır\n",
                                                     "http://x/fail|satır\n", "http://x|son\n"}));
}

// While a ping hangs, only the newest kPingsQueuedMost wait behind it; at the end one that hangs
// is stopped once the time at the end is over, and nothing more is sent.
TEST(Pinger, WhatWaitsBehindAHangingServerIsBoundedAndTheEndDoesNotWait) {
    Calls calls;
    std::atomic<bool> release{false};
    bool failed = false;
    const auto begun = std::chrono::steady_clock::now();
    {
        Pinger pinger(
            [&](const std::string& url, const std::string&, const std::atomic<bool>& abort) {
                calls.add(url);
                while (!abort && (url.ends_with("/hang") || (url.ends_with("/0") && !release)))
                    std::this_thread::sleep_for(1ms);
                return PingSent{!abort, abort ? "durduruldu" : "HTTP 200"};
            },
            [&](const std::string&, const std::string&) { failed = true; }, 0ms, 200ms);
        pinger.ping("http://x/0", "");
        while (calls.all().empty()) std::this_thread::sleep_for(1ms);
        for (int i = 1; i <= 100; ++i) pinger.ping("http://x/" + std::to_string(i), "");
        pinger.ping("http://x/hang", "");
        pinger.ping("http://x/never", "");
        release = true;
        while (calls.all().size() < 1 + kPingsQueuedMost - 1) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
    std::vector<std::string> expected = {"http://x/0"};
    for (std::size_t i = 101 - (kPingsQueuedMost - 2); i <= 100; ++i) expected.push_back("http://x/" + std::to_string(i));
    expected.push_back("http://x/hang");
    EXPECT_EQ(calls.all(), expected);
    EXPECT_FALSE(failed);
}

}  // namespace
}  // namespace zel
