#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/processes/command_words.h"
#include "platform/processes/process.h"

extern char** environ;

namespace zel {
namespace {

int pidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// Exit statuses of reaped children, until someone asks for them.
struct Reaped {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<pid_t, int> statuses;
};

Reaped& reaped() {
    static Reaped* r = new Reaped;  // never destroyed: reaper threads may outlive main
    return *r;
}

// Reaps one child whenever it ends, also after the runner stopped waiting for it, so no zombies
// pile up; its status is kept for exitCode.
void reapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        Reaped& r = reaped();
        {
            std::lock_guard lock(r.mutex);
            r.statuses[pid] = status;
        }
        r.changed.notify_all();
    }).detach();
}

class PosixProcessOps final : public ProcessOps {
public:
    explicit PosixProcessOps(PathMap paths) : paths_(std::move(paths)) {}

    std::uint32_t start(const std::string& commandLine,
                        int /*windowStyle: no windows to show here*/) override {
        return spawn(commandLine, environ, -1);
    }

    std::uint32_t startIn(const std::string& commandLine, int /*windowStyle*/, const std::string& folder) override {
        return spawn(commandLine, environ, -1, paths_.native(folder));
    }

    std::uint32_t startCommand(const std::string& commandLine, const Environment& environment,
                               std::shared_ptr<CommandOutput> output) override {
        std::vector<std::string> variables = withVariables(environment);
        std::vector<char*> envp;
        for (std::string& v : variables) envp.push_back(v.data());
        envp.push_back(nullptr);
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return 0;
        const std::uint32_t pid = spawn(commandLine, envp.data(), ends[1]);
        ::close(ends[1]);
        if (pid == 0) {
            ::close(ends[0]);
            return 0;
        }
        // Read to the end on a thread of its own: whatever the command leaves running may hold the
        // pipe long after it ended, and must not block on it meanwhile.
        std::thread([fd = ends[0], output = std::move(output)] {
            char buffer[4096];
            for (;;) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    output->add(std::string_view(buffer, static_cast<std::size_t>(n)));
                } else if (n == 0 || errno != EINTR) {
                    break;
                }
            }
            ::close(fd);
            output->close();
        }).detach();
        return pid;
    }

    std::optional<ProcessHandle> open(std::uint32_t processId) override {
        std::lock_guard lock(mutex_);
        auto it = pending_.find(processId);
        if (it == pending_.end()) return std::nullopt;
        int fd = it->second;
        pending_.erase(it);
        opened_[fd] = static_cast<pid_t>(processId);
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

    std::optional<int> exitCode(ProcessHandle handle) override {
        pid_t pid = 0;
        {
            std::lock_guard lock(mutex_);
            auto it = opened_.find(static_cast<int>(handle));
            if (it == opened_.end()) return std::nullopt;
            pid = it->second;
        }
        // The process has ended; its reaper stores the status a moment later.
        Reaped& r = reaped();
        std::unique_lock lock(r.mutex);
        if (!r.changed.wait_for(lock, std::chrono::seconds(5), [&] { return r.statuses.count(pid) > 0; }))
            return std::nullopt;
        const int status = r.statuses[pid];
        r.statuses.erase(pid);
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
        return std::nullopt;
    }

    void close(ProcessHandle handle) override {
        {
            std::lock_guard lock(mutex_);
            opened_.erase(static_cast<int>(handle));
        }
        ::close(static_cast<int>(handle));
    }

    bool kill(ProcessHandle handle) override {
        pid_t pid = 0;
        {
            std::lock_guard lock(mutex_);
            const auto it = opened_.find(static_cast<int>(handle));
            if (it == opened_.end()) return false;
            pid = it->second;
        }
        // The process's group: the group outlives its first process while anything it started runs.
        return ::kill(-pid, SIGKILL) == 0 || errno == ESRCH;
    }

private:
    // The command line started with `envp`, its standard output and error into `outputFd` when one
    // is given (else they are the program's own), in `folder` when one is given.
    std::uint32_t spawn(const std::string& commandLine, char* const* envp, int outputFd, const std::string& folder = {}) {
        NativeCommand command = nativeCommand(commandLine, paths_);
        if (!folder.empty()) command.workingFolder = folder;
        std::vector<std::string>& words = command.words;
        if (words.empty()) return 0;
        // A program given relative to this process's folder stays there when the child starts
        // in another one.
        if (!command.workingFolder.empty() && words[0].find('/') != std::string::npos && words[0][0] != '/') {
            char cwd[PATH_MAX];
            if (::getcwd(cwd, sizeof cwd)) words[0] = std::string(cwd) + "/" + words[0];
        }
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (outputFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
            posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
        }
        if (!command.workingFolder.empty())
            posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.c_str());
        // A group of its own, so that the program's end can end it with whatever it started.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        pid_t pid = 0;
        // A bare program name is looked up on the PATH, as Windows does when it starts a command line.
        int rc = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0 || pid <= 0) return 0;

        // The pidfd is taken before anyone can reap the child, so it always names this process.
        int fd = pidfdOpen(pid);
        {
            // A status still kept under this number belongs to an earlier process nobody asked about.
            std::lock_guard lock(reaped().mutex);
            reaped().statuses.erase(pid);
        }
        reapInBackground(pid);
        if (fd >= 0) {
            std::lock_guard lock(mutex_);
            pending_[static_cast<std::uint32_t>(pid)] = fd;
        }
        return static_cast<std::uint32_t>(pid);
    }

    // The program's environment with `added` in place of any variable of the same name.
    static std::vector<std::string> withVariables(const Environment& added) {
        std::vector<std::string> variables;
        for (char** e = environ; *e; ++e) {
            const std::string_view v(*e);
            const std::string_view name = v.substr(0, v.find('='));
            if (std::none_of(added.begin(), added.end(), [&](const auto& a) { return a.first == name; }))
                variables.emplace_back(v);
        }
        for (const auto& [name, value] : added) variables.push_back(name + "=" + value);
        return variables;
    }

    PathMap paths_;
    std::mutex mutex_;
    std::map<std::uint32_t, int> pending_;  // started, not yet opened
    std::map<int, pid_t> opened_;           // handle -> process
};

}  // namespace

std::unique_ptr<ProcessOps> makeNativeProcessOps(PathMap paths) {
    return std::make_unique<PosixProcessOps>(std::move(paths));
}

}  // namespace zel
