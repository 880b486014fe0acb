#include "platform/system/system_log_posix.h"

#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace zel {

bool streamIsJournal(const char* journalStream, int fd) {
    if (!journalStream || !*journalStream) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const std::string expected =
        std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
        std::to_string(static_cast<unsigned long long>(st.st_ino));
    return expected == journalStream;
}

void JournalLog::write(SystemEvent event, const std::string& text) noexcept {
    try {
        const std::string bytes = journalText(syslogPriority(event), text);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    } catch (...) {
    }
}

void SyslogLog::write(SystemEvent event, const std::string& text) noexcept {
    try {
        // syslog takes one line a message: the prefixes come off again.
        const int priority = syslogPriority(event);
        const std::string lines = journalText(priority, text);
        const std::size_t prefix = std::to_string(priority).size() + 2;
        std::size_t start = 0;
        while (start < lines.size()) {
            const std::size_t end = lines.find('\n', start);
            sink_(priority, lines.substr(start + prefix, end - start - prefix));
            start = end + 1;
        }
    } catch (...) {
    }
}

std::unique_ptr<SystemLog> openSystemLog(SystemLogUse use) {
    if (streamIsJournal(std::getenv("JOURNAL_STREAM"), STDERR_FILENO))
        return std::make_unique<JournalLog>(STDERR_FILENO);
    ::openlog("zelyedek", LOG_PID, use == SystemLogUse::Service ? LOG_DAEMON : LOG_USER);
    return std::make_unique<SyslogLog>(
        [](int priority, const std::string& line) { ::syslog(priority, "%s", line.c_str()); });
}

}  // namespace zel
