#include "qt/local_single_instance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/core/temp_dir.h"

namespace zel::test {
namespace {

class LocalSingleInstanceTest : public ::testing::Test {
protected:
    QString folder() const { return QString::fromStdString(tmp.path().string()); }
    std::unique_ptr<LocalSingleInstance> copy() {
        return std::make_unique<LocalSingleInstance>(folder(), folder(), key);
    }
    // Sends raw bytes to the running copy and leaves the connection as the caller says.
    std::unique_ptr<QLocalSocket> connectAndSend(const QByteArray& bytes) {
        auto s = std::make_unique<QLocalSocket>();
        s->connectToServer(QDir(folder()).filePath(key + QStringLiteral(".sock")));
        EXPECT_TRUE(s->waitForConnected(2000));
        if (!bytes.isEmpty()) {
            s->write(bytes);
            s->waitForBytesWritten(2000);
        }
        return s;
    }

    TempDir tmp;
    QString key = QStringLiteral("zelyedek-test");
    int shown = 0;
};

TEST_F(LocalSingleInstanceTest, SecondCopyGivesWayAndItsRequestShowsTheFirst) {
    auto first = copy();
    ASSERT_TRUE(first->claim([this] { ++shown; }));
    auto second = copy();
    EXPECT_FALSE(second->claim([] {}));
    second->askRunningCopyToShow();
    EXPECT_TRUE(QTest::qWaitFor([this] { return shown == 1; }, 5000));
}

TEST_F(LocalSingleInstanceTest, IdleOrMalformedRequestsNeitherShowNorBlock) {
    auto first = copy();
    ASSERT_TRUE(first->claim([this] { ++shown; }));
    auto idle = connectAndSend({});  // connects and says nothing
    auto wrong = connectAndSend("hide\n");
    auto tooLong = connectAndSend("show\nshow\n");
    QTest::qWait(300);
    EXPECT_EQ(shown, 0);
    copy()->askRunningCopyToShow();  // a proper request still gets through at once
    EXPECT_TRUE(QTest::qWaitFor([this] { return shown == 1; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(shown, 1);
}

TEST_F(LocalSingleInstanceTest, WhatAKilledCopyLeftBehindBlocksNothing) {
    QFile lock(QDir(folder()).filePath(key + QStringLiteral(".lock")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("12345\n");
    lock.close();
    QFile(QDir(folder()).filePath(key + QStringLiteral(".sock"))).open(QIODevice::WriteOnly);

    auto next = copy();
    EXPECT_TRUE(next->claim([this] { ++shown; }));
    copy()->askRunningCopyToShow();
    EXPECT_TRUE(QTest::qWaitFor([this] { return shown == 1; }, 5000));
}

TEST_F(LocalSingleInstanceTest, ACopyOfAnotherUserHoldsTheFolderUntilItDies) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can be another user here";
    std::filesystem::permissions(tmp.path(), std::filesystem::perms::all);
    const std::string path = QDir(folder()).filePath(key + QStringLiteral(".lock")).toStdString();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    if (other == 0) {  // the user "nobody" takes the lock first and keeps it
        char taken = 'n';
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            static MachineLock lock;
            if (lock.tryLock(path) == MachineLock::Outcome::Taken) taken = 'y';
        }
        if (::write(ready[1], &taken, 1) != 1 || taken != 'y') ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    EXPECT_EQ(taken, 'y');
    EXPECT_FALSE(copy()->claim([] {}));
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    EXPECT_TRUE(copy()->claim([] {}));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(LocalSingleInstanceTest, CopyOfAnotherFolderRunsBeside) {
    auto first = copy();
    ASSERT_TRUE(first->claim([] {}));
    LocalSingleInstance other(folder(), folder(), QStringLiteral("zelyedek-other"));
    EXPECT_TRUE(other.claim([] {}));
}

}  // namespace
}  // namespace zel::test
