#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/lock_holder.h"
#include "platform/system/machine_lock.h"
#include "support/core/temp_dir.h"

// A real holder, found with its pid, user and program, is in the service's end-to-end test.

namespace zel {
namespace {

TEST(LockHolder, TheLineOfTheFileGivesItsHolder) {
    const std::string locks = "1: POSIX  ADVISORY  WRITE 700 08:01:99 0 EOF\n"
                              "2: FLOCK  ADVISORY  WRITE 4242 fd:01:1048602 0 EOF\n"
                              "2: -> FLOCK  ADVISORY  WRITE 5151 fd:01:1048602 0 EOF\n"
                              "3: OFDLCK ADVISORY  READ  -1 fd:01:77 0 EOF\n"
                              "4: FLOCK  ADVISORY  WRITE 0 fd:02:1048602 0 EOF\n"
                              "bozuk satır\n";
    EXPECT_EQ(lockHolderPid(locks, 0xfd, 1, 1048602), 4242);  // the holder, not the one waiting for it
    EXPECT_EQ(lockHolderPid(locks, 8, 1, 99), 700);           // a POSIX lock counts too
    EXPECT_EQ(lockHolderPid(locks, 0xfd, 1, 77), std::nullopt);       // no process to name
    EXPECT_EQ(lockHolderPid(locks, 0xfd, 2, 1048602), std::nullopt);  // pid 0 is none
    EXPECT_EQ(lockHolderPid(locks, 0xfd, 1, 1048603), std::nullopt);
}

// A lock of the owner's alone: 0600, held against a second holder; a file another user made in its
// place (locked by him) is not the one locked.
TEST(MachineLock, TheOwnersLockIsNobodyElsesToOpen) {
    test::TempDir dir;
    const std::string path = (dir.path() / "hizmet.lock").string();
    const auto mode = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 01000u;
    };
    MachineLock first, second;
    ASSERT_EQ(first.tryLock(path, MachineLock::Access::OwnerOnly), MachineLock::Outcome::Taken);
    EXPECT_EQ(mode(), 0600u);
    EXPECT_EQ(second.tryLock(path, MachineLock::Access::OwnerOnly), MachineLock::Outcome::HeldElsewhere);

    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user here";
    const std::string planted = (dir.path() / "planted.lock").string();
    const int his = ::open(planted.c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(his, 0);
    ASSERT_EQ(::fchown(his, 4242, 4242) | ::fchmod(his, 0666) | ::flock(his, LOCK_EX), 0);
    MachineLock mine;
    EXPECT_EQ(mine.tryLock(planted, MachineLock::Access::OwnerOnly), MachineLock::Outcome::Taken);
    ::close(his);
    struct stat st {};
    ASSERT_EQ(::stat(planted.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace zel
