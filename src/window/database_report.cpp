#include "window/database_report.h"

#include <cstdio>

namespace zel {

std::string recordLogText(const DbOutcome& o) {
    std::string text;
    if (o.recorded)
        text = "Yedekleme kaydı veritabanına yazıldı";
    else if (!o.error.empty())
        text = "Yedekleme kaydı yazılamadı: " + o.error;
    else
        text = "Yedekleme kaydı yazılmadı: sağlam bir arşiv yok";
    if (o.waited > std::chrono::seconds(1)) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(o.waited.count()) / 1000.0);
        text += std::string(" (sırada ") + seconds + " sn bekledi)";
    }
    return text;
}

}  // namespace zel
