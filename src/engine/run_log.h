#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace zel {

// The run log beside the program: one line per event with the local date and time, appended;
// above kRunLogLimit it moves to ".1" and a new log begins. A log that cannot be written is
// passed over: it never stops a backup.
class RunLog {
public:
    RunLog(FileSystem& files, const Clock& clock, std::string path)
        : files_(files), clock_(clock), path_(std::move(path)) {}

    void write(std::string_view text) noexcept;

private:
    FileSystem& files_;
    const Clock& clock_;
    std::string path_;
};

}  // namespace zel
