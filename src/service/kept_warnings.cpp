#include "service/kept_warnings.h"

#include <cstdio>

#include "channel/messages.h"
#include "engine/backup_report.h"
#include "engine/date_text.h"
#include "engine/schedule.h"

namespace zel {
namespace {

// No file of 50 warnings comes near this; a bigger one was not written by the service.
constexpr std::uint64_t kLargestFile = 4 * 1024 * 1024;

std::string stampText(const LocalDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::optional<LocalDateTime> readStamp(const std::string& text) {
    LocalDateTime t;
    char end = 0;
    if (text.size() != 19 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second, &end) != 6)
        return std::nullopt;
    if (!isValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59 || t.hour < 0 ||
        t.minute < 0 || t.second < 0)
        return std::nullopt;
    return t;
}

}  // namespace

void pruneKeptWarnings(std::deque<KeptWarning>& kept, const LocalDateTime& now) {
    const std::int64_t oldest = wallSecond(now) - std::int64_t{kKeptWarningDays} * 86400;
    std::erase_if(kept, [&](const KeptWarning& w) { return wallSecond(w.at) < oldest; });
    while (kept.size() > kKeptWarningsMost) kept.pop_front();
}

std::string keptWarningsFile(const std::deque<KeptWarning>& kept) {
    std::string bytes;
    for (const KeptWarning& w : kept) bytes += encodeMessage({stampText(w.at), w.title, w.text});
    return bytes;
}

std::deque<KeptWarning> readKeptWarnings(std::string_view bytes) {
    std::deque<KeptWarning> kept;
    // Line by line, so that one bad line costs only itself.
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        MessageReader reader;
        reader.feed(bytes.substr(start, end - start));
        reader.feed("\n");
        start = end + 1;
        const std::optional<Message> line = reader.next();
        if (!line || line->size() != 3) continue;
        const std::optional<LocalDateTime> at = readStamp((*line)[0]);
        if (!at) continue;
        kept.push_back({*at, (*line)[1], (*line)[2]});
    }
    return kept;
}

std::vector<Balloon> keptWarningBalloons(const std::deque<KeptWarning>& kept, const LocalDateTime& now) {
    std::vector<Balloon> balloons;
    for (const KeptWarning& w : kept) {
        if (balloons.size() == kKeptBalloons) {
            balloons.push_back({kept.front().title, std::to_string(kept.size() - kKeptBalloons) +
                                                        " uyarı daha: ayrıntılar " + std::string(kRunLogName) +
                                                        " dosyasında"});
            break;
        }
        const bool today = w.at.year == now.year && w.at.month == now.month && w.at.day == now.day;
        std::string when = stampText(w.at).substr(today ? 11 : 0, 16 - (today ? 11 : 0));
        balloons.push_back({w.title, when + " " + w.text});
    }
    return balloons;
}

void KeptWarnings::load(const LocalDateTime& now) {
    files_.removeReplaceLeftovers(path_);
    kept_.clear();
    const std::unique_ptr<FileReader> reader = files_.openForReading(path_);
    if (!reader || reader->size() > kLargestFile) return;
    std::string bytes(static_cast<std::size_t>(reader->size()), '\0');
    const std::optional<std::size_t> read = reader->readAt(0, bytes.data(), bytes.size());
    if (!read) return;
    bytes.resize(*read);
    kept_ = readKeptWarnings(bytes);
    pruneKeptWarnings(kept_, now);
}

void KeptWarnings::keep(KeptWarning warning, const LocalDateTime& now) {
    kept_.push_back(std::move(warning));
    pruneKeptWarnings(kept_, now);
    save();
}

std::deque<KeptWarning> KeptWarnings::all(const LocalDateTime& now) {
    pruneKeptWarnings(kept_, now);
    return kept_;
}

std::deque<KeptWarning> KeptWarnings::takeAll(const LocalDateTime& now) {
    pruneKeptWarnings(kept_, now);
    std::deque<KeptWarning> all = std::move(kept_);
    kept_.clear();
    if (!all.empty()) save();
    return all;
}

// A file that cannot be written leaves the warnings in memory: a window that connects before
// the service ends still shows them. What went wrong where is the service's alone to read.
void KeptWarnings::save() {
    files_.replaceContent(path_, keptWarningsFile(kept_), true);
}

}  // namespace zel
