#include "platform/system/system_log_win.h"

#include <windows.h>

#include "platform/system/wide_text_win.h"

namespace zel {

EventLogApi systemEventLogApi() {
    return {
        [](const wchar_t* source) -> void* { return RegisterEventSourceW(nullptr, source); },
        [](void* handle, unsigned short type, unsigned long id, const std::wstring& text) {
            const wchar_t* strings[] = {text.c_str()};
            ReportEventW(static_cast<HANDLE>(handle), type, 0, id, nullptr, 1, 0, strings, nullptr);
        },
        [](void* handle) { DeregisterEventSource(static_cast<HANDLE>(handle)); },
    };
}

EventLog::EventLog(EventLogApi api) : api_(std::move(api)) {
    handle_ = api_.open(kEventSource);
}

EventLog::~EventLog() {
    if (handle_) api_.close(handle_);
}

void EventLog::write(SystemEvent event, const std::string& text) noexcept {
    if (!handle_) return;
    try {
        // An insert string is cut by the log at 31 839 characters; a run's lines stay far below.
        std::wstring wide = widen(text);
        if (wide.size() > 31000) wide.resize(31000);
        api_.report(handle_, eventLogType(event), static_cast<unsigned long>(event), wide);
    } catch (...) {
    }
}

bool eventSourceRegistered() {
    const std::wstring key =
        std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + kEventSource;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

std::unique_ptr<SystemLog> openSystemLog(SystemLogUse use) {
    if (use == SystemLogUse::Session && !eventSourceRegistered()) return std::make_unique<NoSystemLog>();
    return std::make_unique<EventLog>(systemEventLogApi());
}

}  // namespace zel
