#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace zel {

// One thread that runs the jobs posted to it one after the other, in the order they came.
class SerialWorker {
public:
    SerialWorker();
    // Runs no further job; waits for the one in progress to end.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> job);

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace zel
