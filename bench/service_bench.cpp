// Starts the real program as a service in a throwaway folder (no display, no database) and prints
// its CPU use while idle over a span of seconds and its resident memory, then, as a window
// client, the round trip of switch clicks: from the message sent to the settings file written.
// Usage: service_bench [idle seconds=60] [clicks=200]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "channel/protocol.h"
#include "service_process.h"
#include "transport/local_channel.h"

namespace {
using Steady = std::chrono::steady_clock;
}  // namespace

int main(int argc, char* argv[]) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int clicks = argc > 2 ? std::atoi(argv[2]) : 200;

    bench::ServiceProcess service(
        "zel-service-bench",
        "c:\\a\r\nc:\\b\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n05:00:00\r\n0\r\n17:00:00\r\n0\r\n12:"
        "00:00\r\n");
    if (!service.start()) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start-up's own work

    const long before = service.cpuTicks();
    const auto idleStart = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double idleSpan = std::chrono::duration<double>(Steady::now() - idleStart).count();
    const double cpuSeconds =
        static_cast<double>(service.cpuTicks() - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf("idle CPU over %.0f s: %.3f %% (target < 0.1 %%)\n", idleSpan, 100.0 * cpuSeconds / idleSpan);
    std::printf("resident memory: %.1f MB (target < 20 MB)\n",
                static_cast<double>(service.statusKb("VmRSS")) / 1024.0);

    // A window client that clicks the first switch on and off.
    std::string error;
    std::unique_ptr<zel::ChannelClient> channel = zel::connectToChannel(
        service.socket(), std::chrono::seconds(2), {[](std::string) {}, [](const std::string&) {}}, error);
    if (!channel) {
        std::fprintf(stderr, "no connection: %s\n", error.c_str());
        return 1;
    }
    channel->send(
        zel::encodeMessage(zel::helloMessage({std::string(zel::kProgramVersion), zel::ClientRole::Window})));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::filesystem::path ini = service.folder() / "TarvelYedek.ini";
    std::vector<double> ms;
    for (int i = 0; i < clicks; ++i) {
        const std::string value = i % 2 == 0 ? "1" : "0";
        const std::string want = "\r\n" + value + "\r\n05:00:00";
        const auto sent = Steady::now();
        channel->send(zel::encodeMessage({"switch", "0", value}));
        while (bench::readAll(ini).find(want) == std::string::npos &&
               Steady::now() - sent < std::chrono::seconds(5)) {
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - sent).count());
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))];
    };
    std::printf(
        "switch click to settings file written, %d clicks: median %.2f ms, p99 %.2f ms (target p99 < 50 "
        "ms)\n",
        clicks, at(0.5), at(0.99));

    channel.reset();
    return 0;
}
