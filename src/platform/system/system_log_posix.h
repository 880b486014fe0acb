#pragma once

#include <functional>
#include <string>

#include "platform/system/system_log.h"

namespace zel {

// True when `journalStream` (the JOURNAL_STREAM that systemd sets, "device:inode") names the
// stream open on `fd`: what is written there reaches the journal.
bool streamIsJournal(const char* journalStream, int fd);

// Writes each event to `fd` with the journal's priority prefixes.
class JournalLog final : public SystemLog {
public:
    explicit JournalLog(int fd) : fd_(fd) {}
    void write(SystemEvent event, const std::string& text) noexcept override;

private:
    int fd_;
};

// Hands each line of an event to syslog(3) with its priority; tests hand in their own sink.
class SyslogLog final : public SystemLog {
public:
    using Sink = std::function<void(int priority, const std::string& line)>;
    explicit SyslogLog(Sink sink) : sink_(std::move(sink)) {}
    void write(SystemEvent event, const std::string& text) noexcept override;

private:
    Sink sink_;
};

}  // namespace zel
