#pragma once

#include <functional>
#include <string>

#include "platform/system/system_log.h"

namespace zel {

// The Application log's source; the installers register it with the exe as its message file.
inline constexpr wchar_t kEventSource[] = L"ZEL Yedek";

// The three calls of the event log that the program makes; tests hand in their own.
struct EventLogApi {
    std::function<void*(const wchar_t* source)> open;  // RegisterEventSourceW; null on failure
    std::function<void(void* handle, unsigned short type, unsigned long id, const std::wstring& text)> report;
    std::function<void(void* handle)> close;  // DeregisterEventSource
};
EventLogApi systemEventLogApi();

// Each event as one entry of the Application log: its ID from the message table ("%1"), its type
// by its weight, and the whole text as its one insert string.
class EventLog final : public SystemLog {
public:
    explicit EventLog(EventLogApi api);
    ~EventLog() override;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    void write(SystemEvent event, const std::string& text) noexcept override;

private:
    EventLogApi api_;
    void* handle_ = nullptr;
};

// True once an installer registered the source (a session program writes only then).
bool eventSourceRegistered();

}  // namespace zel
