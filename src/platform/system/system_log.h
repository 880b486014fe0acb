#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zel {

// What goes into the system's own log, where administrators and their monitoring look. The
// numbers are the Windows event IDs of the message table.
enum class SystemEvent {
    RunRecorded = 1000,     // information
    RunNotRecorded = 1001,  // error, with the failed pairs' lines
    Warning = 1002,         // every tray warning
    ServiceStarted = 1003,  // information
    ServiceStopped = 1004,  // information
};

// The syslog priority of an event: 3 error, 4 warning, 6 information.
int syslogPriority(SystemEvent event);
// The Windows event type of an event: EVENTLOG_ERROR_TYPE, _WARNING_TYPE or _INFORMATION_TYPE.
unsigned short eventLogType(SystemEvent event);

// A text as the journal reads it from a service's stderr: every line with the priority's "<n>"
// before it, each ending in a line feed.
std::string journalText(int priority, std::string_view text);

class SystemLog {
public:
    virtual ~SystemLog() = default;
    // Never throws and never waits for long: the log is no reason for a run to stop.
    virtual void write(SystemEvent event, const std::string& text) noexcept = 0;
};

// Whether the program runs as the machine's service or in its user's session (alone); a session
// program on Windows writes only once an installer registered the event source.
enum class SystemLogUse { Service, Session };

// The system's log on this machine: the event log on Windows; on Linux the journal when stderr is
// connected to it, else syslog. Never null: where there is none, a log that drops everything.
std::unique_ptr<SystemLog> openSystemLog(SystemLogUse use);

// A log that drops everything (tests, and a machine without one).
class NoSystemLog final : public SystemLog {
public:
    void write(SystemEvent, const std::string&) noexcept override {}
};

}  // namespace zel
