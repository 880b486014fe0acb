#include "mail/ping.h"

namespace zel {

std::string pingUrl(std::string_view address, PingKind kind) {
    std::string url(address);
    while (!url.empty() && url.back() == '/') url.pop_back();
    if (kind == PingKind::Start) url += "/start";
    if (kind == PingKind::Failure) url += "/fail";
    return url;
}

std::string pingBody(const std::vector<std::string>& lines, std::size_t limit) {
    std::size_t size = 0;
    std::size_t first = lines.size();
    while (first > 0 && size + lines[first - 1].size() + 1 <= limit) size += lines[--first].size() + 1;
    std::string body;
    body.reserve(size);
    for (std::size_t i = first; i < lines.size(); ++i) body += lines[i] + "\n";
    return body;
}

Pinger::Pinger(PingSend send, Failed failed, std::chrono::milliseconds pause, std::chrono::milliseconds timeAtEnd)
    : send_(std::move(send)),
      failed_(std::move(failed)),
      pause_(pause),
      timeAtEnd_(timeAtEnd),
      thread_([this] { work(); }) {}

Pinger::~Pinger() {
    {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, timeAtEnd_, [this] { return queued_.empty() && !busy_; });
        stopping_ = true;
        queued_.clear();
    }
    abort_ = true;
    wake_.notify_all();
    thread_.join();
}

void Pinger::ping(std::string url, std::string body) {
    {
        std::lock_guard lock(mutex_);
        if (queued_.size() >= kPingsQueuedMost) queued_.pop_front();
        queued_.emplace_back(std::move(url), std::move(body));
    }
    wake_.notify_all();
}

void Pinger::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
        if (stopping_) return;
        const auto [url, body] = std::move(queued_.front());
        queued_.pop_front();
        busy_ = true;
        PingSent sent;
        for (int tried = 0; tried < kPingTries; ++tried) {
            if (tried > 0 && wake_.wait_for(lock, pause_, [this] { return stopping_; })) return;
            lock.unlock();
            sent = send_(url, body, abort_);
            lock.lock();
            if (sent.ok || stopping_) break;
        }
        if (stopping_) return;
        if (!sent.ok) {
            lock.unlock();
            failed_(url, sent.answer);
            lock.lock();
        }
        busy_ = false;
        wake_.notify_all();
    }
}

}  // namespace zel
