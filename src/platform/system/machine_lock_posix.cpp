#include "platform/system/machine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zel {
namespace {

// An existing file is opened without O_CREAT: in a sticky folder such as /tmp the kernel may
// refuse O_CREAT on another user's file. flock needs no write access.
int openShared(const std::string& path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0) {
            ::fchmod(fd, 0644);  // readable by every user, whatever the umask
            return fd;
        }
        if (errno != EEXIST) return -1;  // else another copy made it a moment ago: open that
    }
    return -1;
}

// The owner's own lock file: made 0600 when missing; one that another user made (the folder was
// writable once) is not trusted and made anew.
int openOwn(const std::string& path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return -1;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            if ((st.st_mode & 077) != 0) ::fchmod(fd, 0600);
            return fd;
        }
        ::close(fd);
        if (::unlink(path.c_str()) != 0) return -1;
    }
    return -1;
}

}  // namespace

MachineLock::~MachineLock() {
    if (fd_ >= 0) ::close(fd_);
}

MachineLock::Outcome MachineLock::tryLock(const std::string& path, Access access) {
    if (fd_ >= 0) return Outcome::Taken;
    const int fd = access == Access::OwnerOnly ? openOwn(path) : openShared(path);
    if (fd < 0) return Outcome::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
    }
    fd_ = fd;
    return Outcome::Taken;
}

}  // namespace zel
