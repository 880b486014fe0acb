// Starts the real program as a service in a throwaway folder (no display, no database) and prints
// its CPU use while idle over a span of seconds and its resident memory, then, as a window
// client, the round trip of switch clicks: from the message sent to the settings file written.
// Usage: service_bench [idle seconds=60] [clicks=200]
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "channel/protocol.h"
#include "platform/system/single_instance.h"
#include "service/channel_path.h"
#include "transport/local_channel.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

// utime + stime of a process, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

long rssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int main(int argc, char* argv[]) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int clicks = argc > 2 ? std::atoi(argv[2]) : 200;

    const fs::path folder = fs::temp_directory_path() / ("zel-service-bench-" + std::to_string(getpid()));
    fs::create_directories(folder / "drives" / "c");
    fs::copy_file(ZEL_PROGRAM, folder / "zelyedek");
    {
        std::ofstream ini(folder / "TarvelYedek.ini", std::ios::binary);
        ini << "c:\\a\r\nc:\\b\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n05:00:00\r\n0\r\n17:00:00\r\n0\r\n12:00:"
               "00\r\n";
    }
    std::string program = (folder / "zelyedek").string();
    const std::string runtime = "RUNTIME_DIRECTORY=" + folder.string();
    std::vector<std::string> env{runtime, "ODBCSYSINI=" + folder.string(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string hizmet = "--hizmet";
    char* args[] = {program.data(), hizmet.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, args, envp.data()) != 0) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }

    const std::string socket = zel::serviceChannelPath(folder.string(), "", folder.string(),
                                                       zel::instanceKey(fs::canonical(folder).string()));
    const auto startLimit = Steady::now() + std::chrono::seconds(10);
    while (!fs::exists(socket) && Steady::now() < startLimit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start-up's own work

    const long before = cpuTicks(pid);
    const auto idleStart = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double idleSpan = std::chrono::duration<double>(Steady::now() - idleStart).count();
    const double cpuSeconds =
        static_cast<double>(cpuTicks(pid) - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf("idle CPU over %.0f s: %.3f %% (target < 0.1 %%)\n", idleSpan, 100.0 * cpuSeconds / idleSpan);
    std::printf("resident memory: %.1f MB (target < 20 MB)\n", static_cast<double>(rssKb(pid)) / 1024.0);

    // A window client that clicks the first switch on and off.
    std::string error;
    std::unique_ptr<zel::ChannelClient> channel = zel::connectToChannel(
        socket, std::chrono::seconds(2), {[](std::string) {}, [](const std::string&) {}}, error);
    if (!channel) {
        std::fprintf(stderr, "no connection: %s\n", error.c_str());
        kill(pid, SIGTERM);
        return 1;
    }
    channel->send(
        zel::encodeMessage(zel::helloMessage({std::string(zel::kProgramVersion), zel::ClientRole::Window})));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const fs::path ini = folder / "TarvelYedek.ini";
    std::vector<double> ms;
    for (int i = 0; i < clicks; ++i) {
        const std::string value = i % 2 == 0 ? "1" : "0";
        const std::string want = "\r\n" + value + "\r\n05:00:00";
        const auto sent = Steady::now();
        channel->send(zel::encodeMessage({"switch", "0", value}));
        while (readAll(ini).find(want) == std::string::npos &&
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
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    fs::remove_all(folder);
    return 0;
}
