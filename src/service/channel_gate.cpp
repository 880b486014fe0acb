#include "service/channel_gate.h"

namespace zel {

std::optional<std::string> RefusalTally::note(const std::string& user, std::int64_t nowSecond) {
    std::lock_guard lock(mutex_);
    if (users_.size() >= kMostRefusedUsers && !users_.count(user)) users_.clear();
    Refusals& r = users_[user];
    ++r.since;
    if (r.toldAt && nowSecond - *r.toldAt < kRefusalLogSeconds && nowSecond >= *r.toldAt) return std::nullopt;
    std::string line = "Hizmete bağlanma reddedildi: kullanıcı " + user;
    if (r.since > 1) line += " (son satırdan bu yana " + std::to_string(r.since) + " kez)";
    r = {nowSecond, 0};  // counted afresh until the next line
    return line;
}

bool WaitingEvents::take(std::size_t bytes, bool always) {
    std::lock_guard lock(mutex_);
    if (!always && (events_ >= kMostWaitingEvents || bytes_ + bytes > kMostWaitingBytes)) return false;
    ++events_;
    bytes_ += bytes;
    return true;
}

bool WaitingEvents::full() {
    std::lock_guard lock(mutex_);
    return events_ >= kMostWaitingEvents || bytes_ >= kMostWaitingBytes;
}

void WaitingEvents::done(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    --events_;
    bytes_ -= bytes;
}

}  // namespace zel
