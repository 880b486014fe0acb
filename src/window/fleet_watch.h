#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/backup_report.h"
#include "engine/schedule.h"
#include "mail/ping.h"
#include "platform/files/file_system.h"
#include "platform/system/clock.h"
#include "settings/watch_settings.h"
#include "window/daily_notices.h"
#include "window/metrics_text.h"

namespace zel {

inline constexpr std::string_view kMetricsFileName = "zelyedek.prom";

// What the fleet's monitoring works with.
struct FleetWatchParts {
    FileSystem& files;
    const Clock& clock;
    std::string version;
    bool service = false;
    PingSend send;  // none: no ping ever goes out
    // Hands a call from the ping thread to the machine's thread.
    std::function<void(std::function<void()>)> post;
    // On the machine's thread: a line of the run log, and a warning.
    std::function<void(const std::string&)> log;
    std::function<void(const std::string&)> warn;
};

// The machine's state at the moment the metrics are written.
struct MachineFigures {
    std::array<std::pair<std::string, std::string>, 4> pairs;  // source and target texts; unused: empty source
    std::optional<bool> lastRecorded;
    std::size_t warningsHeld = 0;
    std::array<ScheduleSlot, 3> schedule{};
};

// Tells a fleet's monitoring how the backups go: the metrics file for Prometheus' textfile
// collectors, and a dead man's switch's pings at each run's start and end.
class FleetWatch {
public:
    explicit FleetWatch(FleetWatchParts parts);
    ~FleetWatch() { end(); }

    // The program ends: queued pings get their time (kPingTimeAtEnd), and the metrics file, once
    // written, says the program has ended. Nothing is sent or written after it.
    void end();

    void setSettings(const WatchSettings& settings) { settings_ = settings; }
    const WatchSettings& settings() const { return settings_; }

    void runStarted();
    void pairDone(const PairOutcome& outcome);
    // The run's end as its mail tells it: failed unless every pair was archived and recorded.
    void runEnded(bool failed, const std::vector<std::string>& lines);

    // The figures as they stand now; a pair's last success and archives come from its target.
    MetricsFacts facts(const MachineFigures& figures) const;
    // Writes the metrics file, when a folder is set; a folder that cannot be written is logged
    // each time and warned about once a day.
    void writeMetrics(const MachineFigures& figures);

private:
    void ping(PingKind kind, std::string body);

    FleetWatchParts parts_;
    WatchSettings settings_;
    // What this program's runs found out about each pair since the start.
    std::array<PairMetrics, 4> runs_;
    std::array<std::optional<std::int64_t>, 4> succeeded_;
    DailyNotices notices_;
    std::string lastFailure_;
    std::optional<std::pair<std::string, MetricsFacts>> written_;  // the file's path and its last figures
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<Pinger> pinger_;  // last: its thread calls into what is above
};

}  // namespace zel
