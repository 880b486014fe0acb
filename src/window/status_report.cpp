#include "window/status_report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

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

std::string minuteText(const LocalDateTime& t) {
    char text[24];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return text;
}

}  // namespace

StatusSummary statusSummary(const MachineStatus& s) {
    if (s.lastRecorded == false || s.overdue) {
        std::string why = s.lastRecorded == false ? oneLine(s.lastOutcome) : std::string();
        if (s.overdue) why += (why.empty() ? "" : "; ") + *s.overdue;
        return {kStatusFailure, "HATA: " + why};
    }
    if (s.remoteOverdue) return {kStatusWarning, "UYARI: " + *s.remoteOverdue};
    if (!s.warnings.empty()) {
        std::string line = "UYARI: " + oneLine(s.warnings.back().text);
        if (s.warnings.size() > 1) line += " (" + std::to_string(s.warnings.size() - 1) + " uyarı daha)";
        return {kStatusWarning, line};
    }
    return {kStatusOk, "TAMAM: " + (s.newestArchive ? "son yedek " + minuteText(*s.newestArchive)
                                                    : std::string("henüz yedek yok"))};
}

std::string performanceData(const MachineStatus& s, const LocalDateTime& now) {
    std::string age = "son_yedek_yas=";
    age += s.laggingArchive ? std::to_string(std::max<std::int64_t>(0, wallSecond(now) - wallSecond(*s.laggingArchive))) + "s"
                            : std::string("U");
    if (const std::optional<std::int64_t> critical = overdueAfterSeconds(s.schedule))
        age += ";" + std::to_string(*critical - 3600) + ";" + std::to_string(*critical) + ";0";
    else
        age += ";;;0";
    return age + " uyari=" + std::to_string(s.warnings.size()) + ";;;0";
}

std::vector<std::string> statusLines(const MachineStatus& s, const LocalDateTime& now) {
    std::vector<std::string> lines;
    lines.push_back(statusSummary(s).line + " | " + performanceData(s, now));
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
    for (const std::string& copy : s.remoteCopies) lines.push_back(copy);
    if (!s.warnings.empty()) {
        lines.push_back("Son 24 saatin uyarıları:");
        for (const HeldWarning& w : s.warnings) lines.push_back("  " + minuteText(w.at) + "  " + oneLine(w.text));
    }
    lines.push_back("Son günlük satırları:");
    for (const std::string& line : s.recentLog) lines.push_back("  " + line);
    return lines;
}

}  // namespace zel
