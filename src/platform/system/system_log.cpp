#include "platform/system/system_log.h"

namespace zel {

int syslogPriority(SystemEvent event) {
    switch (event) {
        case SystemEvent::RunNotRecorded:
            return 3;
        case SystemEvent::Warning:
            return 4;
        case SystemEvent::RunRecorded:
        case SystemEvent::ServiceStarted:
        case SystemEvent::ServiceStopped:
            break;
    }
    return 6;
}

unsigned short eventLogType(SystemEvent event) {
    constexpr unsigned short kError = 0x0001, kWarning = 0x0002, kInformation = 0x0004;
    switch (syslogPriority(event)) {
        case 3:
            return kError;
        case 4:
            return kWarning;
        default:
            return kInformation;
    }
}

std::string journalText(int priority, std::string_view text) {
    const std::string prefix = "<" + std::to_string(priority) + ">";
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", start);
        const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty()) out += prefix + std::string(line) + "\n";
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (out.empty()) out = prefix + "\n";
    return out;
}

}  // namespace zel
