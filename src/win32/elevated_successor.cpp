#include "win32/elevated_successor.h"

#include <shellapi.h>

#include <string>

namespace zel {
namespace {

// How long a successor waits for the watcher's window to end.
constexpr DWORD kHandOverPatienceMs = 10000;

std::wstring ownExe() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    return path;
}

}  // namespace

ElevatedSuccessor::~ElevatedSuccessor() {
    if (process_) CloseHandle(process_);
}

void ElevatedSuccessor::start(HWND owner) {
    const std::wstring exe = ownExe();
    if (exe.empty()) return;
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
    const std::wstring arguments =
        L"/pencere /" + std::wstring(kTakeOverArgument.begin(), kTakeOverArgument.end());
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = exe.c_str();
    info.lpParameters = arguments.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    // Declined (ERROR_CANCELLED) or failed: the watcher stays as it was.
    if (!ShellExecuteExW(&info) || !info.hProcess) return;
    if (process_) CloseHandle(process_);
    process_ = info.hProcess;
}

bool ElevatedSuccessor::is(unsigned long pid) const {
    const bool running = process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
    return isOwnSuccessor(process_ ? GetProcessId(process_) : 0, running, pid);
}

bool TakingOverInstance::claim(std::function<void()> onShowRequest) {
    if (inner_.claim(onShowRequest)) return true;
    inner_.askRunningCopyToHandOver();
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kHandOverPatienceMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (inner_.claim(onShowRequest)) return true;
    }
    return false;
}

}  // namespace zel
