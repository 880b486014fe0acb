#pragma once
// The real program started as a service in a throwaway folder (no display, no database), for the
// benchmarks that watch it from outside.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system/single_instance.h"
#include "service/channel_path.h"

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

inline void writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

inline std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ServiceProcess {
public:
    // A folder named after `name` with drive c, the program and the given TarvelYedek.ini.
    ServiceProcess(const std::string& name, const std::string& ini)
        : folder_(fs::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        fs::create_directories(folder_ / "drives" / "c");
        fs::copy_file(ZEL_PROGRAM, folder_ / "zelyedek");
        writeText(folder_ / "TarvelYedek.ini", ini);
    }
    ~ServiceProcess() {
        stop();
        fs::remove_all(folder_);
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    const fs::path& folder() const { return folder_; }
    std::string socket() const {
        return zel::serviceChannelPath(folder_.string(), "", folder_.string(),
                                       zel::instanceKey(fs::canonical(folder_).string()));
    }

    // Starts it and waits for its channel (10 s at most).
    bool start() {
        std::string program = (folder_ / "zelyedek").string();
        std::vector<std::string> env{"RUNTIME_DIRECTORY=" + folder_.string(),
                                     "ODBCSYSINI=" + folder_.string(), "PATH=/usr/bin:/bin"};
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string hizmet = "--hizmet";
        char* args[] = {program.data(), hizmet.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, args, envp.data()) != 0) return false;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(socket()) && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return fs::exists(socket());
    }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
    }

    // utime + stime, in clock ticks.
    long cpuTicks() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
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
    // A line of /proc/<pid>/status in KB ("VmRSS", "VmHWM"); -1 when gone.
    long statusKb(const std::string& key) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
        return -1;
    }

private:
    fs::path folder_;
    pid_t pid_ = 0;
};

}  // namespace bench
