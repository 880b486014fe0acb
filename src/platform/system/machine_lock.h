#pragma once

#include <string>

namespace zel {

// A lock that every user of the machine sees: a file any user may open, locked with flock. The
// lock goes with the process that holds it, however that process ends, and started programs do
// not inherit it.
class MachineLock {
public:
    MachineLock() = default;
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    enum class Outcome { Taken, HeldElsewhere, Unavailable };
    // Tries once, without waiting. Unavailable: the file can be neither opened nor made.
    Outcome tryLock(const std::string& path);

private:
    int fd_ = -1;
};

}  // namespace zel
