#include "service/status_report.h"

#include "engine/date_text.h"

namespace zel {
namespace {

// The window's two-line label on one line, without the spaces it ends in.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    std::string squeezed;
    for (const char c : text)
        if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
    while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
    return squeezed;
}

}  // namespace

std::vector<std::string> statusLines(const MachineStatus& s, const LocalDateTime& now) {
    std::vector<std::string> lines;
    const std::string last = oneLine(s.lastBackup);
    lines.push_back("Son yedekleme: " + (last.empty() ? std::string("yok") : last));
    lines.push_back("Son sonuç: " + (s.lastOutcome.empty()
                                         ? std::string("hizmet başladığından beri yedekleme yok")
                                         : s.lastOutcome));
    const std::optional<NextSlot> next = nextSlot(s.schedule, now);
    lines.push_back("Sonraki yedekleme: " +
                    (next ? timeOfDayText(next->time, ":") + (next->tomorrow ? " (yarın)" : " (bugün)")
                          : std::string("zamanlanmış yedekleme yok")));
    std::string db = "Veritabanı: ";
    if (!s.databaseConnected)
        db += "henüz denenmedi";
    else if (*s.databaseConnected)
        db += "bağlı";
    else
        db += "bağlı değil" + (s.databaseError.empty() ? std::string() : ": " + s.databaseError);
    lines.push_back(db);
    lines.push_back(std::string("Yedekleme: ") + (s.running ? "sürüyor" : "beklemede"));
    lines.push_back("Son günlük satırları:");
    for (const std::string& line : s.recentLog) lines.push_back("  " + line);
    return lines;
}

}  // namespace zel
