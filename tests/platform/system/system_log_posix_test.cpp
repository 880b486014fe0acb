#include "platform/system/system_log_posix.h"

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

// What JournalLog writes is checked against a real stream in the service's end-to-end test; here,
// only the stream systemd names counts as the journal.
TEST(JournalLog, OnlyTheStreamSystemdNamesIsTheJournal) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    struct stat st {};
    ASSERT_EQ(::fstat(ends[1], &st), 0);
    const std::string mine = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    EXPECT_TRUE(streamIsJournal(mine.c_str(), ends[1]));
    EXPECT_FALSE(streamIsJournal("1:2", ends[1]));  // stderr handed on to something else
    EXPECT_FALSE(streamIsJournal(nullptr, ends[1]));
    ::close(ends[0]);
    ::close(ends[1]);
}

}  // namespace
}  // namespace zel
