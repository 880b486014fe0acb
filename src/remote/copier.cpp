#include "remote/copier.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine/archive_check.h"
#include "engine/archive_folder.h"
#include "engine/backup_rules.h"
#include "engine/disk_space.h"
#include "engine/folder_text.h"
#include "engine/schedule.h"
#include "engine/source_listing.h"
#include "platform/files/path_map.h"

namespace zel {
namespace {

std::string keyOf(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool ignoringCase() { return nativeZipNaming() == ZipNaming::Windows; }

// The target folders of the pairs, each once.
std::vector<std::string> targetsOf(const CopyRequest& request) {
    std::vector<std::string> targets;
    for (const CopyPair& p : request.pairs)
        if (std::none_of(targets.begin(), targets.end(),
                         [&](const std::string& t) { return sameFolder(t, p.target, ignoringCase()); }))
            targets.push_back(p.target);
    return targets;
}

}  // namespace

std::string provenCopyText(const std::string& archive, const std::string& place, std::uint64_t bytes, double seconds) {
    char s[32];
    std::snprintf(s, sizeof s, "%.1f", seconds);
    return "Uzak kopya: " + archive + " -> " + place + " (" + sizeText(bytes) + ", " + s + " s)";
}

RemoteCopier::RemoteCopier(FileSystem& files, const Clock& clock, Report report)
    : files_(files), clock_(clock), report_(std::move(report)), thread_([this] { work(); }) {}

RemoteCopier::~RemoteCopier() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_ = true;
    wake_.notify_all();
    thread_.join();
}

void RemoteCopier::setPlace(std::shared_ptr<SecondPlace> place) {
    std::lock_guard lock(mutex_);
    place_ = std::move(place);
}

void RemoteCopier::request(CopyRequest request) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_) {
            request.everything = request.everything || waiting_->everything;
            request.retire = request.retire || waiting_->retire;
        }
        waiting_ = std::move(request);
    }
    wake_.notify_all();
}

void RemoteCopier::runStarted(const std::string& stamp) {
    std::lock_guard lock(mutex_);
    runStamp_ = stamp;
}

void RemoteCopier::runEnded() {
    std::lock_guard lock(mutex_);
    runStamp_.reset();
}

bool RemoteCopier::busy() {
    std::lock_guard lock(mutex_);
    return working_ || waiting_.has_value();
}

void RemoteCopier::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
        if (stopping_) return;
        const CopyRequest request = std::move(*waiting_);
        waiting_.reset();
        const std::shared_ptr<SecondPlace> place = place_;
        if (!place) continue;
        working_ = true;
        lock.unlock();
        CopyReport report = pass(request, *place);
        report_(std::move(report));
        lock.lock();
        working_ = false;
    }
}

void RemoteCopier::failed(const std::string& key, std::int64_t now, bool series) {
    Failures& f = failures_[key];
    // A run's pass begins the retries anew; a retry that fails waits longer.
    f.count = series ? 1 : f.count + 1;
    const std::optional<int> after = retryAfterSeconds(f.count);
    f.nextTry = after ? std::optional<std::int64_t>(now + *after) : std::nullopt;
}

bool RemoteCopier::waiting(const std::string& key, std::int64_t now) const {
    const auto f = failures_.find(key);
    return f != failures_.end() && (!f->second.nextTry || *f->second.nextTry > now);
}

std::optional<int> RemoteCopier::ownerOf(FileReader* archive, const std::string& cacheKey, const CopyRequest& request,
                                         const std::string& target) {
    auto cached = owners_.find(cacheKey);
    if (cached == owners_.end()) {
        std::optional<std::string> owner;
        std::vector<std::string> prefixes;
        for (const CopyPair& p : request.pairs) prefixes.push_back(zipEntryPrefix(p.source, nativeZipNaming()));
        if (archive)
            if (const std::optional<std::vector<std::string>> entries = archiveEntryNames(*archive))
                owner = owningPrefix(*entries, prefixes, ignoringCase());
        // An archive that could not be opened is asked again next time.
        if (!archive) return std::nullopt;
        cached = owners_.emplace(cacheKey, owner).first;
    }
    if (!cached->second) return std::nullopt;
    for (const CopyPair& p : request.pairs)
        if (zipEntryPrefix(p.source, nativeZipNaming()) == *cached->second &&
            sameFolder(p.target, target, ignoringCase()))
            return p.pair;
    return std::nullopt;
}

CopyReport RemoteCopier::pass(const CopyRequest& request, SecondPlace& place) {
    CopyReport report;
    const LocalDateTime now = clock_.now();
    const std::int64_t wallNow = wallSecond(now);
    std::optional<std::string> runStamp;
    {
        std::lock_guard lock(mutex_);
        runStamp = runStamp_;
    }
    std::vector<LocalArchive> local;
    for (const std::string& target : targetsOf(request)) {
        for (const ProgramArchive& a : goodArchives(files_, target, now)) {
            if (runStamp && a.stamp >= *runStamp) continue;  // the run has yet to verify it
            const std::string path = archivePath(target, a.name);
            const std::unique_ptr<FileReader> reader = files_.openForReading(path);
            const std::string cacheKey = path + ":" + std::to_string(reader ? reader->size() : 0);
            local.push_back({target, a.name, a.stamp, ownerOf(reader.get(), cacheKey, request, target)});
        }
    }
    std::stable_sort(local.begin(), local.end(), [](const LocalArchive& a, const LocalArchive& b) { return a.stamp > b.stamp; });
    const std::vector<LocalArchive> wanted = copiesWanted(local, request.keepHere, request.keepThere);
    std::vector<LocalArchive> owed;
    auto owe = [&](const LocalArchive& a) {
        owed.push_back(a);
        if (!report.oldestOwed || a.stamp < *report.oldestOwed) report.oldestOwed = a.stamp;
    };

    if (const PlaceResult begun = place.begin(); !begun) {
        const std::string text = "Uzak kopya alınamadı: " + place.describe() + " (" + begun.failure + ")";
        report.lines.push_back(text);
        for (const LocalArchive& a : wanted) {
            const std::string key = keyOf(placeFolderName(a.target, ignoringCase()), a.name);
            if (proven_.count(key)) continue;  // there at the last look
            owe(a);
            if (request.everything || !waiting(key, wallNow)) failed(key, wallNow, request.everything);
        }
        if (!owed.empty()) report.failures.push_back(text);
    } else {
        std::map<std::string, std::vector<PlaceItem>> there;
        std::map<std::string, std::string> unlisted;  // folder -> why
        for (const std::string& target : targetsOf(request)) {
            const std::string folder = placeFolderName(target, ignoringCase());
            std::string failure;
            if (std::optional<std::vector<PlaceItem>> items = place.list(folder, failure))
                there[folder] = std::move(*items);
            else
                unlisted[folder] = failure;
        }
        for (const LocalArchive& a : wanted) {
            const std::string folder = placeFolderName(a.target, ignoringCase());
            const std::string key = keyOf(folder, a.name);
            const std::string path = archivePath(a.target, a.name);
            std::vector<PlaceItem>& items = there[folder];
            const auto item = std::find_if(items.begin(), items.end(), [&](const PlaceItem& i) { return i.name == a.name; });
            // Proven, unless either side was written since: a second run in the same minute
            // updates the archive under its name.
            const std::optional<FileStamp> localStamp = files_.fileStamp(path);
            const std::string stamps = item == items.end() || !localStamp
                                           ? std::string()
                                           : item->stamp + "|" + std::to_string(localStamp->size) + ":" +
                                                 std::to_string(localStamp->modified);
            const auto known = proven_.find(key);
            if (!stamps.empty() && known != proven_.end() && known->second == stamps) continue;
            const bool outdated = known != proven_.end() && item != items.end() && known->second.starts_with(item->stamp + "|");
            if (stop_) {
                report.cut = true;
                owe(a);
                continue;
            }
            if (!request.everything && waiting(key, wallNow)) {
                owe(a);
                continue;
            }
            const std::unique_ptr<FileReader> reader = files_.openForReading(path);
            if (!reader) continue;  // deleted since the listing
            const auto started = std::chrono::steady_clock::now();
            std::string failure = unlisted.count(folder) ? unlisted[folder] : "";
            std::optional<PlaceItem> copy;
            bool silent = false;
            if (failure.empty() && outdated) {
                // The copy is of the archive as it was before its update: it gives way to the new one.
                std::string why;
                place.remove(folder, a.name, why);
            } else if (failure.empty() && item != items.end()) {
                // There already, from a pass before the program's start or a copy changed since.
                if (const PlaceResult proven = place.prove(folder, a.name, *reader, stop_); proven) {
                    copy = *item;
                    silent = true;
                } else if (!stop_) {
                    const PlaceResult aside = place.setAside(folder, a.name);
                    report.lines.push_back("Uzak kopya bozuk: " + a.name + " -> " + place.describe() + " (" +
                                           proven.failure + (aside ? "; kenara alındı" : "; kenara alınamadı: " + aside.failure) + ")");
                }
                items.erase(item);
            }
            if (failure.empty() && !copy) copy = place.put(folder, a.name, *reader, stop_, failure);
            if (copy) {
                const std::optional<FileStamp> now = files_.fileStamp(path);
                proven_[key] = copy->stamp + "|" + (now ? std::to_string(now->size) + ":" + std::to_string(now->modified) : "");
                failures_.erase(key);
                std::erase_if(items, [&](const PlaceItem& i) { return i.name == a.name; });
                items.push_back(*copy);
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
                const std::string line = provenCopyText(path, place.describe(), reader->size(), seconds);
                // A copy found whole again after a restart is no news for the log.
                if (!silent) report.lines.push_back(line);
                report.proven.push_back({a.owner.value_or(-1), path, line});
                continue;
            }
            owe(a);
            if (stop_) {
                report.cut = true;
                continue;
            }
            failed(key, wallNow, request.everything);
            const std::string text = "Uzak kopya alınamadı: " + path + " -> " + place.describe() + " (" + failure + ")";
            report.lines.push_back(text);
            report.failures.push_back(text);
        }
        for (const auto& [folder, items] : there) {
            std::vector<std::string> names;
            for (const LocalArchive& a : owed)
                if (placeFolderName(a.target, ignoringCase()) == folder) names.push_back(a.name);
            if (!unlisted.count(folder)) place.cleanUp(folder, names);
        }
        if (!stop_ && request.retire) retention(request, place, local, there, report);
    }
    place.end();
    report.owed = owed.size();
    for (const LocalArchive& a : owed) {
        const auto f = failures_.find(keyOf(placeFolderName(a.target, ignoringCase()), a.name));
        const std::int64_t in = f == failures_.end() ? 0 : f->second.nextTry ? *f->second.nextTry - wallNow : -1;
        if (in >= 0 && (!report.retryIn || in < *report.retryIn)) report.retryIn = in;
    }
    return report;
}

// Per pair, by the target folders' rules: only the program's names, only once the pair's newest
// archive is proven there, never while a name there lies ahead of the clock.
void RemoteCopier::retention(const CopyRequest& request, SecondPlace& place, const std::vector<LocalArchive>& local,
                             std::map<std::string, std::vector<PlaceItem>>& there, CopyReport& report) {
    if (request.keepThere <= 0) return;
    for (const CopyPair& p : request.pairs) {
        const std::string folder = placeFolderName(p.target, ignoringCase());
        const std::string prefix = archiveBase(p.target);
        const auto newest = std::find_if(local.begin(), local.end(), [&](const LocalArchive& a) {
            return a.owner == p.pair && sameFolder(a.target, p.target, ignoringCase());
        });
        std::vector<PlaceItem>& items = there[folder];
        if (newest == local.end() || !proven_.count(keyOf(folder, newest->name)) ||
            std::none_of(items.begin(), items.end(), [&](const PlaceItem& i) { return i.name == newest->name; }))
            continue;
        std::vector<std::string> names;
        for (const PlaceItem& i : items) names.push_back(i.name);
        if (const std::optional<ProgramArchive> ahead = archiveAheadOf(names, prefix, clock_.now())) {
            report.lines.push_back(clockWentBackText(place.describe() + " " + ahead->name));
            continue;
        }
        std::vector<std::string> own;
        for (const PlaceItem& i : items) {
            const std::optional<ProgramArchive> a = programArchive(i.name, prefix);
            if (!a) continue;
            if (a->state != ProgramArchive::State::Good) {
                own.push_back(i.name);  // a copy set aside: it goes with the old ones
                continue;
            }
            const auto same = std::find_if(local.begin(), local.end(), [&](const LocalArchive& l) {
                return l.name == i.name && sameFolder(l.target, p.target, ignoringCase());
            });
            std::optional<int> owner;
            if (same != local.end()) {
                owner = same->owner;
            } else {
                const std::string cacheKey = keyOf(folder, i.name) + ":" + i.stamp;
                const std::unique_ptr<FileReader> copy = owners_.count(cacheKey) ? nullptr : place.open(folder, i.name);
                owner = ownerOf(copy.get(), cacheKey, request, p.target);
            }
            if (owner == p.pair) own.push_back(i.name);
        }
        for (const std::string& name : archivesBeyond(own, prefix, request.keepThere, newest->name)) {
            std::string failure;
            const RemoveOutcome removed = place.remove(folder, name, failure);
            if (removed == RemoveOutcome::Removed) {
                report.lines.push_back("Uzak kopya silindi: " + place.describe() + " " + folder + "/" + name);
                proven_.erase(keyOf(folder, name));
                std::erase_if(items, [&](const PlaceItem& i) { return i.name == name; });
            } else if (removed == RemoveOutcome::Failed) {
                report.lines.push_back("Uzak kopya silinemedi: " + place.describe() + " " + folder + "/" + name + " (" +
                                       failure + ")");
            }
            // A locked copy stays until its date; a later pass deletes it.
        }
    }
}

}  // namespace zel
