#include "platform/processes/process.h"

namespace zel {

void CommandOutput::add(std::string_view data) {
    std::lock_guard lock(mutex_);
    if (text_.size() < keep_) text_.append(data.substr(0, keep_ - text_.size()));
}

void CommandOutput::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    closedChanged_.notify_all();
}

bool CommandOutput::waitClosed(std::chrono::milliseconds most) {
    std::unique_lock lock(mutex_);
    return closedChanged_.wait_for(lock, most, [this] { return closed_; });
}

std::string CommandOutput::text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

}  // namespace zel
