#include "platform/system/single_instance_win.h"

#include "platform/files/final_path_win.h"
#include "platform/security/private_access_win.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

struct CreatedMutex {
    HANDLE handle;
    DWORD error;
};

// Only SYSTEM, the Administrators and the user of this copy may open the mutex: a copy of another
// user, who may not, still learns that it exists (heldByAnotherCopy). Without the list, the default
// one of this process's token.
CreatedMutex createMutex(const std::wstring& name) {
    PrivateAccess access(L"GA");
    HANDLE mutex = CreateMutexW(access.attributes(), FALSE, name.c_str());
    return {mutex, GetLastError()};
}

}  // namespace

std::string instanceKeyOfFolder(const std::string& programFolder) {
    std::wstring named = widen(programFolder);
    // An exe at a drive's root has the folder "C:", which alone means that drive's current folder.
    if (named.size() == 2 && named[1] == L':') named += L'\\';
    std::wstring folder = finalPath(named);
    if (folder.empty()) {
        folder.assign(32768, L'\0');
        folder.resize(
            GetFullPathNameW(named.c_str(), static_cast<DWORD>(folder.size()), folder.data(), nullptr));
    }
    // Windows paths name the same folder whatever their case; the invariant casing gives every
    // user the same key, whatever their language.
    std::wstring upper(folder.size(), L'\0');
    const int n =
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.data(), static_cast<int>(folder.size()),
                      upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    return instanceKey(narrow(n > 0 ? upper.substr(0, static_cast<std::size_t>(n)) : folder));
}

Win32SingleInstance::Win32SingleInstance(const std::string& key, Scope scope)
    : key_(widen(key)),
      scope_(scope),
      showMessage_(RegisterWindowMessageW(L"ZelYedekShowWindow")),
      handOverMessage_(RegisterWindowMessageW(L"ZelYedekHandOver")) {}

Win32SingleInstance::~Win32SingleInstance() {
    if (listener_) DestroyWindow(listener_);
    if (mutex_) CloseHandle(mutex_);
}

bool Win32SingleInstance::claim(std::function<void()> onShowRequest) {
    const CreatedMutex created = createMutex((scope_ == Scope::Machine ? L"Global\\" : L"Local\\") + key_);
    if (heldByAnotherCopy(created.handle != nullptr, created.error)) {
        if (created.handle) CloseHandle(created.handle);
        return false;
    }
    mutex_ = created.handle;
    // Without a mutex nothing can be told: running beats refusing to back up.
    onShow_ = std::move(onShowRequest);
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &Win32SingleInstance::listenerProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = key_.c_str();
    RegisterClassExW(&cls);
    listener_ =
        CreateWindowExW(0, key_.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
    if (listener_) {
        SetWindowLongPtrW(listener_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        // Run elevated, the window would not hear a copy started without elevation.
        ChangeWindowMessageFilterEx(listener_, showMessage_, MSGFLT_ALLOW, nullptr);
    }
    return true;
}

void Win32SingleInstance::askRunningCopyToShow() {
    HWND running = FindWindowExW(HWND_MESSAGE, nullptr, key_.c_str(), nullptr);
    if (!running) return;
    // Lets the running copy bring its window to the front, which Windows allows only then.
    DWORD owner = 0;
    GetWindowThreadProcessId(running, &owner);
    if (owner) AllowSetForegroundWindow(owner);
    PostMessageW(running, showMessage_, kShowWord, 0);
}

// Not let past the elevation filter, unlike the show request: only a copy of the same or a higher
// integrity level (an administrator's successor) may ask.
void Win32SingleInstance::askRunningCopyToHandOver() {
    HWND running = FindWindowExW(HWND_MESSAGE, nullptr, key_.c_str(), nullptr);
    if (running) PostMessageW(running, handOverMessage_, static_cast<WPARAM>(GetCurrentProcessId()), 0);
}

bool heldByAnotherCopy(bool opened, unsigned long error) {
    // A mutex that exists but may not be opened (another user's) belongs to a running copy too.
    return opened ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

bool isOwnSuccessor(unsigned long successorPid, bool successorRunning, unsigned long askingPid) {
    return successorPid != 0 && successorRunning && askingPid == successorPid;
}

LRESULT CALLBACK Win32SingleInstance::listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32SingleInstance*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == self->showMessage_) {
        if (wParam == kShowWord && self->onShow_) self->onShow_();
        return 0;
    }
    if (self && message == self->handOverMessage_) {
        if (self->onHandOver_) self->onHandOver_(static_cast<unsigned long>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace zel
