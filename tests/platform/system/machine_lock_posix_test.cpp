#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include "platform/system/lock_holder.h"
#include "platform/system/machine_lock.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

TEST(LockHolder, TheLineOfTheFileGivesItsHolder) {
    const std::string locks = "1: POSIX  ADVISORY  WRITE 700 08:01:99 0 EOF\n"
                              "2: FLOCK  ADVISORY  WRITE 4242 fd:01:1048602 0 EOF\n"
                              "2: -> FLOCK  ADVISORY  WRITE 5151 fd:01:1048602 0 EOF\n"
                              "3: OFDLCK ADVISORY  READ  -1 fd:01:77 0 EOF\n"
                              "4: FLOCK  ADVISORY  WRITE 0 fd:02:1048602 0 EOF\n"
                              "bozuk satır\n";
    struct Case {
        std::uint32_t major, minor;
        std::uint64_t inode;
        std::optional<std::int64_t> pid;
    };
    for (const Case& c : {Case{0xfd, 1, 1048602, 4242},  // the holder, not the one waiting for it
                          Case{8, 1, 99, 700},           // a POSIX lock counts too
                          Case{0xfd, 1, 77, {}},         // no process to name
                          Case{0xfd, 2, 1048602, {}},    // same inode, other device; pid 0 is none
                          Case{0xfd, 1, 1048603, {}}}) {
        EXPECT_EQ(lockHolderPid(locks, c.major, c.minor, c.inode), c.pid) << c.major << ":" << c.minor << ":" << c.inode;
    }
}

// The process that holds the lock is found with its user and program: here a child of this test.
TEST(LockHolder, ALiveHolderIsNamedWithItsProgram) {
    test::TempDir dir;
    const std::string path = (dir.path() / "x.lock").string();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
        const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
        (void)!::write(ready[1], locked ? "1" : "0", 1);
        ::pause();
        ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    const std::optional<LockHolder> holder = lockHolder(path);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(locked, '1');
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->pid, child);
    EXPECT_EQ(holder->uid, ::geteuid());
    EXPECT_EQ(holder->program, ownProgram());
    EXPECT_FALSE(ownProgram().empty());
    EXPECT_EQ(lockHolderText(*holder), "pid " + std::to_string(child) + ", kullanıcı " +
                                           std::to_string(::geteuid()) + ", " + ownProgram());
    EXPECT_FALSE(lockHolder(path));  // let go with its process
}

// A lock of the owner's alone: 0600, held against a second holder, and a file another user made in
// its place is not the one locked.
TEST(MachineLock, TheOwnersLockIsNobodyElsesToOpen) {
    test::TempDir dir;
    const fs::path path = dir.path() / "hizmet.lock";
    MachineLock first, second;
    ASSERT_EQ(first.tryLock(path.string(), MachineLock::Access::OwnerOnly), MachineLock::Outcome::Taken);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(second.tryLock(path.string(), MachineLock::Access::OwnerOnly), MachineLock::Outcome::HeldElsewhere);

    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user here";
    const fs::path planted = dir.path() / "planted.lock";
    {
        const int fd = ::open(planted.c_str(), O_RDWR | O_CREAT, 0666);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::fchown(fd, 4242, 4242), 0);
        ASSERT_EQ(::fchmod(fd, 0666), 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // held by "another user" through his open file
        MachineLock mine;
        EXPECT_EQ(mine.tryLock(planted.string(), MachineLock::Access::OwnerOnly), MachineLock::Outcome::Taken);
        ::close(fd);
    }
    ASSERT_EQ(::stat(planted.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace zel
