#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/files/file_system.h"
#include "platform/system/clock.h"

namespace zel {

// The run log beside the program: one line per event with the local date and time, appended;
// above kRunLogLimit it moves to ".1" and a new log begins. A log that cannot be written is
// passed over: it never stops a backup.
class RunLog {
public:
    // `heard` gets each text as it is written (also when the file cannot be), for a live view.
    RunLog(FileSystem& files, const Clock& clock, std::string path,
           std::function<void(std::string_view text)> heard = {})
        : files_(files), clock_(clock), path_(std::move(path)), heard_(std::move(heard)) {}

    void write(std::string_view text) noexcept;

private:
    FileSystem& files_;
    const Clock& clock_;
    std::string path_;
    std::function<void(std::string_view)> heard_;
};

}  // namespace zel
