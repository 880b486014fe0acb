#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/system/local_time.h"

namespace zel {

// A tray warning that no window was there to show.
struct KeptWarning {
    LocalDateTime at;
    std::string title;
    std::string text;
    friend bool operator==(const KeptWarning&, const KeptWarning&) = default;
};

// Beside the run log; the service's own, written whole each time.
inline constexpr std::string_view kKeptWarningsName = "TarvelYedek.uyari";
inline constexpr std::size_t kKeptWarningsMost = 50;
inline constexpr int kKeptWarningDays = 7;
// A window that connects shows this many of them one by one, then one balloon for the rest.
inline constexpr std::size_t kKeptBalloons = 3;

// Drops the warnings older than kKeptWarningDays, then the oldest beyond kKeptWarningsMost.
void pruneKeptWarnings(std::deque<KeptWarning>& kept, const LocalDateTime& now);

// The file: one line a warning, "YYYY-MM-DD HH:MM:SS", its title and text by tabs, escaped as
// the channel's messages are. Reading skips any line that is not one (a file edited by hand).
std::string keptWarningsFile(const std::deque<KeptWarning>& kept);
std::deque<KeptWarning> readKeptWarnings(std::string_view bytes);

// What a window shows of them, in order: "05:00 Yedekleme başarısız ..." for the first ones (the
// date too for another day), then "<n> uyarı daha: ayrıntılar TarvelYedek.log dosyasında".
using Balloon = std::pair<std::string, std::string>;  // title, text
std::vector<Balloon> keptWarningBalloons(const std::deque<KeptWarning>& kept, const LocalDateTime& now);

// The kept warnings in memory and in their file, across the service's restarts.
class KeptWarnings {
public:
    KeptWarnings(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
    void load(const LocalDateTime& now);
    void keep(KeptWarning warning, const LocalDateTime& now);
    // All that are kept, oldest first; they stay kept (for a watcher's window).
    std::deque<KeptWarning> all(const LocalDateTime& now);
    // All that are kept, oldest first; none is kept any more (a manager's window has them).
    std::deque<KeptWarning> takeAll(const LocalDateTime& now);

private:
    void save();

    FileSystem& files_;
    std::string path_;
    std::deque<KeptWarning> kept_;
};

}  // namespace zel
