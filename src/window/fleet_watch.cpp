#include "window/fleet_watch.h"

#include <algorithm>
#include <utility>

#include "engine/archive_folder.h"
#include "engine/backup_rules.h"

namespace zel {

FleetWatch::FleetWatch(FleetWatchParts parts) : parts_(std::move(parts)) {
    if (!parts_.send) return;
    std::weak_ptr<bool> alive = alive_;
    pinger_ = std::make_unique<Pinger>(parts_.send, [this, alive](const std::string& url, const std::string& why) {
        // The path alone: the address itself is the switch's secret.
        const std::size_t slash = url.rfind('/');
        const std::string which = url.ends_with("/start") || url.ends_with("/fail") ? url.substr(slash) : "";
        parts_.post([this, alive, text = "İzleme adresine bildirim gönderilemedi" +
                                         (which.empty() ? std::string() : " (" + which + ")") + ": " + why] {
            if (alive.lock()) parts_.log(text);
        });
    });
}

void FleetWatch::end() {
    pinger_.reset();
    alive_.reset();
    settings_ = {};
    if (!written_) return;
    written_->second.up = false;
    parts_.files.publishFile(written_->first, prometheusText(written_->second));
    written_.reset();
}

void FleetWatch::ping(PingKind kind, std::string body) {
    if (!pinger_ || settings_.pingAddress.empty()) return;
    // An address typed into the file by hand that cannot be used is told once a day.
    if (const std::string problem = watchSettingsProblem({{}, settings_.pingAddress}); !problem.empty()) {
        if (notices_.tell("adres", parts_.clock.now())) parts_.log("İzleme adresi kullanılamıyor: " + problem);
        return;
    }
    pinger_->ping(pingUrl(settings_.pingAddress, kind), std::move(body));
}

void FleetWatch::runStarted() { ping(PingKind::Start, {}); }

void FleetWatch::runEnded(bool failed, const std::vector<std::string>& lines) {
    ping(failed ? PingKind::Failure : PingKind::Success, pingBody(lines));
}

void FleetWatch::pairDone(const PairOutcome& o) {
    if (o.pair < 0 || o.pair >= 4) return;
    const auto i = static_cast<std::size_t>(o.pair);
    const std::int64_t now = parts_.clock.unixSeconds();
    const bool archived = o.kind == PairOutcome::Kind::Archived;
    runs_[i].lastRun = now;
    runs_[i].lastRunSucceeded = archived;
    runs_[i].lastRunSeconds = o.seconds;
    if (!archived) return;
    runs_[i].lastArchiveBytes = o.archiveBytes;
    succeeded_[i] = now;
}

MetricsFacts FleetWatch::facts(const MachineFigures& figures) const {
    const LocalDateTime now = parts_.clock.now();
    const std::int64_t unixNow = parts_.clock.unixSeconds();
    // A local time as Unix seconds, by its distance from now on the wall clock.
    auto unixAt = [&](const LocalDateTime& t) { return unixNow - (wallSecond(now) - wallSecond(t)); };
    MetricsFacts f;
    f.version = parts_.version;
    f.service = parts_.service;
    for (std::size_t i = 0; i < figures.pairs.size(); ++i) {
        const auto& [source, target] = figures.pairs[i];
        if (source.empty()) continue;
        PairMetrics p = runs_[i];
        p.pair = static_cast<int>(i) + 1;
        p.source = source;
        p.target = target;
        const std::vector<ProgramArchive> kept = goodArchives(parts_.files, target, now);
        p.archivesKept = kept.size();
        // The newest archive there, or this run's success when the folder's newest is older.
        const auto newest = std::max_element(kept.begin(), kept.end(),
                                             [](const auto& a, const auto& b) { return a.stamp < b.stamp; });
        if (newest != kept.end()) p.lastSuccess = unixAt(stampTime(newest->stamp));
        if (succeeded_[i] && (!p.lastSuccess || *succeeded_[i] > *p.lastSuccess)) p.lastSuccess = succeeded_[i];
        f.pairs.push_back(std::move(p));
    }
    f.lastHistoryRecordSucceeded = figures.lastRecorded;
    f.warningsHeld = figures.warningsHeld;
    if (const std::optional<NextSlot> next = nextSlot(figures.schedule, now)) {
        LocalDateTime at = now;
        at.hour = next->time.hour;
        at.minute = next->time.minute;
        at.second = next->time.second;
        f.nextSlot = unixAt(at) + (next->tomorrow ? 86400 : 0);
    }
    return f;
}

void FleetWatch::writeMetrics(const MachineFigures& figures) {
    if (settings_.metricsFolder.empty()) return;
    std::string failure = watchSettingsProblem({settings_.metricsFolder, {}});
    std::string folder = settings_.metricsFolder;
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    const std::string path = archivePath(folder, kMetricsFileName);
    MetricsFacts now = facts(figures);
    if (failure.empty()) failure = parts_.files.publishFile(path, prometheusText(now)).failure;
    if (failure.empty()) {
        lastFailure_.clear();
        written_ = {path, std::move(now)};
        return;
    }
    const std::string text = "Metrik dosyası yazılamadı: " + path + " (" + failure + ")";
    // Every ten minutes would fill the log: a cause is logged when it starts.
    if (failure != std::exchange(lastFailure_, failure)) parts_.log(text);
    if (notices_.tell("metrik", parts_.clock.now())) parts_.warn(text);
}

}  // namespace zel
