#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace zel::test {

// Stands in for the window's thread: calls posted from any thread wait here until the test
// thread runs them.
class WindowQueue {
public:
    std::function<void(std::function<void()>)> poster() {
        return [this](std::function<void()> call) {
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(std::move(call));
            }
            wake_.notify_all();
        };
    }

    std::size_t waiting() {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }

    // Runs the calls that are waiting now, on this thread.
    void runWaiting() {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(mutex_);
            calls.swap(calls_);
        }
        for (auto& c : calls) c();
    }

    // Runs posted calls on this thread until `done` holds; false when it did not within `limit`.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::function<void()> call;
            {
                std::unique_lock lock(mutex_);
                if (!wake_.wait_until(lock, deadline, [this] { return !calls_.empty(); })) return done();
                call = std::move(calls_.front());
                calls_.pop_front();
            }
            call();
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> calls_;
};

}  // namespace zel::test
