#include "platform/system/system_log_win.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

struct Reported {
    unsigned short type;
    unsigned long id;
    std::wstring text;
    bool operator==(const Reported&) const = default;
};

TEST(EventLog, EachEventIsOneEntryOfTheSourceWithItsIdTypeAndText) {
    std::wstring source;
    std::vector<Reported> reported;
    int closed = 0;
    int handle = 0;
    {
        EventLog log({[&](const wchar_t* s) -> void* {
                          source = s;
                          return &handle;
                      },
                      [&](void* h, unsigned short type, unsigned long id, const std::wstring& text) {
                          EXPECT_EQ(h, &handle);
                          reported.push_back({type, id, text});
                      },
                      [&](void*) { ++closed; }});
        log.write(SystemEvent::RunRecorded, "Yedekleme kaydı veritabanına yazıldı");
        log.write(SystemEvent::RunNotRecorded, "Yedekleme kaydı yazılmadı\nc:\\a -> d:\\b: kaynak yok");
        log.write(SystemEvent::Warning, "Disk dolmak üzere");
        log.write(SystemEvent::ServiceStopped, "Hizmet durduruldu");
    }
    EXPECT_EQ(source, L"ZEL Yedek");
    EXPECT_EQ(reported, (std::vector<Reported>{{4, 1000, L"Yedekleme kaydı veritabanına yazıldı"},
                                               {1, 1001, L"Yedekleme kaydı yazılmadı\nc:\\a -> d:\\b: kaynak yok"},
                                               {2, 1002, L"Disk dolmak üzere"},
                                               {4, 1004, L"Hizmet durduruldu"}}));
    EXPECT_EQ(closed, 1);
}

}  // namespace
}  // namespace zel
