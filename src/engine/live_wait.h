#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <system_error>

namespace zel {

// Runs work on a thread of its own while the window keeps handling its events every few
// milliseconds, so a long listing or read-back never freezes it; without a window, or when no
// thread can be made, in place.
template <typename Work>
auto whileWindowLive(Work work, const std::function<void()>& processEvents) -> decltype(work()) {
    if (!processEvents) return work();
    std::future<decltype(work())> done;
    try {
        done = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return work();
    }
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) processEvents();
    return done.get();
}

}  // namespace zel
