#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

#include "platform/processes/process.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

// The program's window styles in the numbering of ShowWindow.
WORD showCommand(int windowStyle) {
    switch (windowStyle) {
        case 0:
            return SW_HIDE;
        case 1:
            return SW_SHOWNORMAL;
        case 2:
            return SW_SHOWMINIMIZED;
        case 3:
            return SW_SHOWMAXIMIZED;
        case 4:
            return SW_SHOWNOACTIVATE;
        case 6:
            return SW_SHOWMINNOACTIVE;
        default:
            return SW_SHOWNORMAL;
    }
}

// Keeps the handle that CreateProcessW gives until the runner opens the process: a handle
// opened again by id later would miss a program that ended at once (its id may even be another
// program's by then), and with it the exit code.
class WinProcessOps final : public ProcessOps {
public:
    ~WinProcessOps() override {
        for (const auto& [id, handle] : started_) CloseHandle(handle);
        for (const auto& [process, job] : jobs_) CloseHandle(job);
    }

    std::uint32_t start(const std::string& commandLine, int windowStyle) override {
        std::wstring line = widen(commandLine);
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = showCommand(windowStyle);
        PROCESS_INFORMATION pi{};
        // Started held, so that it is in its job before it can start anything of its own.
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                            &si, &pi)) {
            return 0;
        }
        // A job of its own, so that the program's end can end it with whatever it started. Not
        // killed when the job's handle closes: a program the runner stopped waiting for runs on.
        HANDLE job = CreateJobObjectW(nullptr, nullptr);
        if (job && !AssignProcessToJobObject(job, pi.hProcess)) {
            CloseHandle(job);  // already in a job that allows no other (Windows 7): ended alone
            job = nullptr;
        }
        ResumeThread(pi.hThread);
        CloseHandle(pi.hThread);
        std::lock_guard lock(mutex_);
        started_[pi.dwProcessId] = pi.hProcess;
        if (job) jobs_[pi.hProcess] = job;
        return pi.dwProcessId;
    }

    // Hands over the kept handle, once; a process this object did not start cannot be opened.
    std::optional<ProcessHandle> open(std::uint32_t processId) override {
        std::lock_guard lock(mutex_);
        auto it = started_.find(processId);
        if (it == started_.end()) return std::nullopt;
        HANDLE h = it->second;
        started_.erase(it);
        return reinterpret_cast<ProcessHandle>(h);
    }

    int wait(ProcessHandle handle, int timeoutMs) override {
        DWORD rc = WaitForSingleObject(reinterpret_cast<HANDLE>(handle), static_cast<DWORD>(timeoutMs));
        if (rc == WAIT_OBJECT_0) return kWaitEnded;
        if (rc == WAIT_TIMEOUT) return kWaitTimeout;
        return kWaitFailed;
    }

    std::optional<int> exitCode(ProcessHandle handle) override {
        DWORD code = 0;
        if (!GetExitCodeProcess(reinterpret_cast<HANDLE>(handle), &code) || code == STILL_ACTIVE)
            return std::nullopt;
        return static_cast<int>(code);
    }

    void close(ProcessHandle handle) override {
        const HANDLE process = reinterpret_cast<HANDLE>(handle);
        {
            std::lock_guard lock(mutex_);
            if (const auto it = jobs_.find(process); it != jobs_.end()) {
                CloseHandle(it->second);
                jobs_.erase(it);
            }
        }
        CloseHandle(process);
    }

    bool kill(ProcessHandle handle) override {
        const HANDLE process = reinterpret_cast<HANDLE>(handle);
        bool ended = false;
        {
            std::lock_guard lock(mutex_);
            const auto it = jobs_.find(process);
            ended = (it != jobs_.end() ? TerminateJobObject(it->second, 1) : TerminateProcess(process, 1)) != FALSE;
        }
        // Both only begin the end. The caller removes zip's work file next, which Windows refuses
        // while zip still holds it open.
        if (ended) WaitForSingleObject(process, kEndWaitMs);
        return ended;
    }

private:
    static constexpr DWORD kEndWaitMs = 5000;  // a program that ends later is not waited for
    std::mutex mutex_;  // the window's thread and the database thread start programs
    std::map<std::uint32_t, HANDLE> started_;
    std::map<HANDLE, HANDLE> jobs_;  // an opened process's job
};

}  // namespace

std::unique_ptr<ProcessOps> makeNativeProcessOps(PathMap /*Windows starts command lines as written*/) {
    return std::make_unique<WinProcessOps>();
}

}  // namespace zel
