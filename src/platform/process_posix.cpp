#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/command_words.h"
#include "platform/process.h"

extern char** environ;

namespace zel {
namespace {

int pidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// Reaps one child whenever it ends, also after the runner stopped waiting for it, so no zombies pile up.
void reapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

class PosixProcessOps final : public ProcessOps {
public:
    explicit PosixProcessOps(PathMap paths) : paths_(std::move(paths)) {}

    std::uint32_t start(const std::string& commandLine,
                        int /*windowStyle: no windows to show here*/) override {
        std::vector<std::string> words = nativeCommandWords(commandLine, paths_);
        if (words.empty()) return 0;
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        pid_t pid = 0;
        // A bare program name is looked up on the PATH, as Windows does when it starts a command line.
        int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0 || pid <= 0) return 0;

        // The pidfd is taken before anyone can reap the child, so it always names this process.
        int fd = pidfdOpen(pid);
        reapInBackground(pid);
        if (fd >= 0) {
            std::lock_guard lock(mutex_);
            pending_[static_cast<std::uint32_t>(pid)] = fd;
        }
        return static_cast<std::uint32_t>(pid);
    }

    std::optional<ProcessHandle> open(std::uint32_t processId) override {
        std::lock_guard lock(mutex_);
        auto it = pending_.find(processId);
        if (it == pending_.end()) return std::nullopt;
        int fd = it->second;
        pending_.erase(it);
        return fd;
    }

    int wait(ProcessHandle handle, int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{static_cast<int>(handle), POLLIN, 0};
            int rc = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
            if (rc > 0) return kWaitEnded;
            if (rc == 0) return kWaitTimeout;
            if (errno != EINTR) return kWaitFailed;
        }
    }

    void close(ProcessHandle handle) override { ::close(static_cast<int>(handle)); }

private:
    PathMap paths_;
    std::mutex mutex_;
    std::map<std::uint32_t, int> pending_;  // started, not yet opened
};

}  // namespace

std::unique_ptr<ProcessOps> makeNativeProcessOps(PathMap paths) {
    return std::make_unique<PosixProcessOps>(std::move(paths));
}

}  // namespace zel
