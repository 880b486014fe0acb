#include "qt/local_single_instance.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTest>

#include <spawn.h>
#include <sys/wait.h>

#include "support/core/temp_dir.h"

extern char** environ;

namespace zel::test {
namespace {

class LocalSingleInstanceTest : public ::testing::Test {
protected:
    QString folder() const { return QString::fromStdString(tmp.path().string()); }
    std::unique_ptr<LocalSingleInstance> copy() {
        return std::make_unique<LocalSingleInstance>(folder(), key);
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

TEST_F(LocalSingleInstanceTest, LockOfACopyThatDiedIsTakenOver) {
    // The lock as a copy leaves it when it is killed: naming a process that no longer runs.
    QByteArray content;
    {
        QLockFile probe(QDir(folder()).filePath(key + QStringLiteral(".lock")));
        ASSERT_TRUE(probe.tryLock(0));
        QFile f(QDir(folder()).filePath(key + QStringLiteral(".lock")));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        content = f.readAll();
        probe.unlock();
    }
    pid_t dead = 0;
    char truePath[] = "/bin/true";
    char* argv[] = {truePath, nullptr};
    ASSERT_EQ(posix_spawn(&dead, truePath, nullptr, nullptr, argv, environ), 0);
    waitpid(dead, nullptr, 0);
    content.replace(0, content.indexOf('\n'), QByteArray::number(dead));
    QFile f(QDir(folder()).filePath(key + QStringLiteral(".lock")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    // A socket file left behind too.
    QFile(QDir(folder()).filePath(key + QStringLiteral(".sock"))).open(QIODevice::WriteOnly);

    auto next = copy();
    EXPECT_TRUE(next->claim([this] { ++shown; }));
    copy()->askRunningCopyToShow();
    EXPECT_TRUE(QTest::qWaitFor([this] { return shown == 1; }, 5000));
}

TEST_F(LocalSingleInstanceTest, CopyRunningForWeeksKeepsItsLock) {
    auto first = copy();
    ASSERT_TRUE(first->claim([] {}));
    QFile lock(QDir(folder()).filePath(key + QStringLiteral(".lock")));
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        lock.setFileTime(QDateTime::currentDateTime().addDays(-21), QFileDevice::FileModificationTime));
    lock.close();
    EXPECT_FALSE(copy()->claim([] {}));
}

TEST_F(LocalSingleInstanceTest, CopyOfAnotherExecutableOrUserRunsBeside) {
    auto first = copy();
    ASSERT_TRUE(first->claim([] {}));
    LocalSingleInstance other(folder(), QStringLiteral("zelyedek-other"));
    EXPECT_TRUE(other.claim([] {}));
}

}  // namespace
}  // namespace zel::test
