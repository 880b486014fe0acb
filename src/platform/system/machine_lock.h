#pragma once

#include <string>

namespace zel {

// A lock that every user of the machine sees: a file any user may open, locked with flock. The
// lock goes with the process that holds it, however that process ends, and started programs do
// not inherit it. A lock of the owner's alone is a file nobody else may open, in a folder nobody
// else may write: no other user can hold it.
class MachineLock {
public:
    MachineLock() = default;
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    enum class Outcome { Taken, HeldElsewhere, Unavailable };
    enum class Access { Everyone, OwnerOnly };
    // Tries once, without waiting. Unavailable: the file can be neither opened nor made.
    Outcome tryLock(const std::string& path, Access access = Access::Everyone);

private:
    int fd_ = -1;
};

}  // namespace zel
