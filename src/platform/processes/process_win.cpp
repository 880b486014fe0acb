#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>
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
        return startIn(commandLine, windowStyle, {});
    }

    std::uint32_t startIn(const std::string& commandLine, int windowStyle, const std::string& folder) override {
        STARTUPINFOEXW si{};
        si.StartupInfo.cb = sizeof si.StartupInfo;
        si.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
        si.StartupInfo.wShowWindow = showCommand(windowStyle);
        return launch(commandLine, si, 0, nullptr, folder);
    }

    std::uint32_t startCommand(const std::string& commandLine, const Environment& environment,
                               std::shared_ptr<CommandOutput> output) override {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return 0;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                     OPEN_EXISTING, 0, nullptr);
        // Only these two are handed down: a pipe end that another thread's child inherited by
        // chance would keep the output open as long as that child runs.
        HANDLE handedDown[2] = {writeEnd, nothing};
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        std::vector<unsigned char> attributes(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        std::uint32_t pid = 0;
        if (nothing != INVALID_HANDLE_VALUE && InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handedDown, sizeof handedDown,
                                          nullptr, nullptr)) {
                STARTUPINFOEXW si{};
                si.StartupInfo.cb = sizeof si;
                si.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
                si.StartupInfo.wShowWindow = SW_HIDE;
                si.StartupInfo.hStdInput = nothing;
                si.StartupInfo.hStdOutput = writeEnd;
                si.StartupInfo.hStdError = writeEnd;
                si.lpAttributeList = list;
                std::vector<wchar_t> block = environmentBlock(environment);
                pid = launch(commandLine, si, EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                             block.data());
            }
            DeleteProcThreadAttributeList(list);
        }
        if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
        CloseHandle(writeEnd);
        if (pid == 0) {
            CloseHandle(readEnd);
            return 0;
        }
        // Read to the end on a thread of its own: whatever the command leaves running may hold the
        // pipe long after it ended.
        std::thread([readEnd, output = std::move(output)] {
            char buffer[4096];
            DWORD n = 0;
            while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
                output->add(std::string_view(buffer, n));
            CloseHandle(readEnd);
            output->close();
        }).detach();
        return pid;
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
    // Starts the line held, puts it in a job of its own and lets it go; 0 when nothing started.
    std::uint32_t launch(const std::string& commandLine, STARTUPINFOEXW& si, DWORD flags, void* environment,
                         const std::string& folder = {}) {
        const std::wstring startIn = widen(folder);
        std::wstring line = widen(commandLine);
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        PROCESS_INFORMATION pi{};
        const BOOL inherit = (flags & EXTENDED_STARTUPINFO_PRESENT) ? TRUE : FALSE;
        // Started held, so that it is in its job before it can start anything of its own.
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, inherit, CREATE_SUSPENDED | flags, environment,
                            folder.empty() ? nullptr : startIn.c_str(), &si.StartupInfo, &pi)) {
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

    // The program's environment with `added` in place of any variable of the same name, sorted by
    // name as Windows keeps it, each "name=value" ended by a zero, the block by another.
    static std::vector<wchar_t> environmentBlock(const Environment& added) {
        std::vector<std::wstring> variables;
        auto sameName = [](const std::wstring& a, const std::wstring& b) {
            return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                        TRUE) == CSTR_EQUAL;
        };
        auto nameOf = [](const std::wstring& v) { return v.substr(0, v.find(L'=', 1)); };
        if (wchar_t* own = GetEnvironmentStringsW()) {
            for (const wchar_t* e = own; *e; e += wcslen(e) + 1) {
                const std::wstring v(e);
                if (std::none_of(added.begin(), added.end(), [&](const auto& a) { return sameName(widen(a.first), nameOf(v)); }))
                    variables.push_back(v);
            }
            FreeEnvironmentStringsW(own);
        }
        for (const auto& [name, value] : added) variables.push_back(widen(name) + L"=" + widen(value));
        std::sort(variables.begin(), variables.end(), [&](const std::wstring& a, const std::wstring& b) {
            const std::wstring x = nameOf(a), y = nameOf(b);
            return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()),
                                        TRUE) == CSTR_LESS_THAN;
        });
        std::vector<wchar_t> block;
        for (const std::wstring& v : variables) {
            block.insert(block.end(), v.begin(), v.end());
            block.push_back(L'\0');
        }
        block.push_back(L'\0');
        return block;
    }

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
