#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

#include "platform/process.h"
#include "platform/wide_text_win.h"

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
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return 0;
        }
        CloseHandle(pi.hThread);
        std::lock_guard lock(mutex_);
        started_[pi.dwProcessId] = pi.hProcess;
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

    void close(ProcessHandle handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

private:
    std::mutex mutex_;  // the window's thread and the database thread start programs
    std::map<std::uint32_t, HANDLE> started_;
};

}  // namespace

std::unique_ptr<ProcessOps> makeNativeProcessOps(PathMap /*Windows starts command lines as written*/) {
    return std::make_unique<WinProcessOps>();
}

}  // namespace zel
