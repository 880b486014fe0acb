#include "platform/system_log.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(SystemLog, EachEventHasItsWeightInTheJournalAndTheEventLog) {
    struct Case {
        SystemEvent event;
        int priority;
        unsigned short type;
    };
    for (const Case& c : {Case{SystemEvent::RunRecorded, 6, 4}, Case{SystemEvent::RunNotRecorded, 3, 1},
                          Case{SystemEvent::Warning, 4, 2}, Case{SystemEvent::ServiceStarted, 6, 4},
                          Case{SystemEvent::ServiceStopped, 6, 4}}) {
        EXPECT_EQ(syslogPriority(c.event), c.priority) << static_cast<int>(c.event);
        EXPECT_EQ(eventLogType(c.event), c.type) << static_cast<int>(c.event);
    }
}

TEST(SystemLog, EveryLineOfATextCarriesThePriority) {
    EXPECT_EQ(journalText(3, "Yedekleme kaydı yazılmadı\nc:\\a -> d:\\b: zip hatası\r\n"),
              "<3>Yedekleme kaydı yazılmadı\n<3>c:\\a -> d:\\b: zip hatası\n");
    EXPECT_EQ(journalText(6, ""), "<6>\n");  // still one entry, never a bare prefix-less line
}

}  // namespace
}  // namespace zel
