#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>

namespace zel {

// Runs work on a thread of its own while the window keeps handling its events every few
// milliseconds, so a long listing or read-back never freezes it; without a window, or when no
// thread can be made, in place. What the work throws is thrown here.
template <typename Work>
auto whileWindowLive(Work work, const std::function<void()>& processEvents) -> decltype(work()) {
    using Result = decltype(work());
    if (!processEvents) return work();
    // A plain thread, not std::async: the Windows program carries every instantiation of this.
    std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
    std::exception_ptr failure;
    std::atomic<bool> done = false;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                if constexpr (std::is_void_v<Result>)
                    work();
                else
                    result.emplace(work());
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
        });
    } catch (const std::system_error&) {
        return work();
    }
    while (!done) {
        processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<Result>) return std::move(*result);
}

}  // namespace zel
