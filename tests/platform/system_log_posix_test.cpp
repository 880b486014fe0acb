#include "platform/system_log_posix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {
namespace {

TEST(SyslogLog, EachLineGoesToSyslogWithTheEventsPriority) {
    std::vector<std::pair<int, std::string>> sent;
    SyslogLog log([&](int priority, const std::string& line) { sent.emplace_back(priority, line); });
    log.write(SystemEvent::RunNotRecorded, "Yedekleme kaydı yazılmadı\nc:\\a -> d:\\b: kaynak yok");
    log.write(SystemEvent::Warning, "Disk dolmak üzere");
    log.write(SystemEvent::ServiceStarted, "Hizmet başladı");
    EXPECT_EQ(sent, (std::vector<std::pair<int, std::string>>{{3, "Yedekleme kaydı yazılmadı"},
                                                               {3, "c:\\a -> d:\\b: kaynak yok"},
                                                               {4, "Disk dolmak üzere"},
                                                               {6, "Hizmet başladı"}}));
}

TEST(JournalLog, WritesPrefixedLinesOnlyWhereTheJournalListens) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    struct stat st {};
    ASSERT_EQ(::fstat(ends[1], &st), 0);
    const std::string mine = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    EXPECT_TRUE(streamIsJournal(mine.c_str(), ends[1]));
    EXPECT_FALSE(streamIsJournal("1:2", ends[1]));  // stderr handed on to something else
    EXPECT_FALSE(streamIsJournal(nullptr, ends[1]));

    JournalLog(ends[1]).write(SystemEvent::Warning, "Disk dolmak üzere");
    ::close(ends[1]);
    char got[64] = {};
    const ssize_t n = ::read(ends[0], got, sizeof got - 1);
    ::close(ends[0]);
    EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), "<4>Disk dolmak üzere\n");
}

}  // namespace
}  // namespace zel
