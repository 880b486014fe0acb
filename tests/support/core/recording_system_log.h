#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/system/system_log.h"

namespace zel::test {

// Keeps every event the program gives the system's log.
class RecordingSystemLog final : public SystemLog {
public:
    void write(SystemEvent event, const std::string& text) noexcept override { events.emplace_back(event, text); }
    std::vector<SystemEvent> kinds() const {
        std::vector<SystemEvent> all;
        for (const auto& e : events) all.push_back(e.first);
        return all;
    }
    std::vector<std::pair<SystemEvent, std::string>> events;
};

}  // namespace zel::test
