#include "engine/backup_run.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <stdexcept>
#include <utility>

#include "engine/after_zip.h"
#include "engine/archive_check.h"
#include "engine/archive_folder.h"
#include "engine/archive_follower.h"
#include "engine/backup_rules.h"
#include "engine/date_text.h"
#include "engine/disk_space.h"
#include "engine/folder_text.h"
#include "engine/live_wait.h"

namespace zel {

void BackupRun::run() {
    if (running_) return;  // a press or a due slot during a run starts nothing
    running_ = true;
    outcomes_.clear();
    try {
        view_.setCopyEnabled(false);
        cancelRequested_ = false;
        view_.setExitCaption(std::string(kCaptionCancel));

        // The tool prefix is read afresh each time, as the box may have changed during a wait.
        const std::string prefix = toolPrefix(view_.sourceFolder(0));
        if (ownZip_.empty() && isDriveRoot(prefix)) {
            const std::string store = zipStorePath(prefix), tool = zipToolPath(prefix);
            if (!files_.copyFile(store, tool) && observer_) observer_->zipNotCopied(store, tool);
        }

        std::string refusal;
        stagesFailed_ = false;
        lastZipPair_.reset();
        RunPairs pairs;
        for (int pair = 0; pair < kFolderPairs; ++pair) {
            pairs.sources[static_cast<std::size_t>(pair)] = view_.sourceFolder(pair);
            pairs.targets[static_cast<std::size_t>(pair)] = view_.targetFolder(pair);
            if (!view_.sourceFolder(pair).empty() && !repeatsAnEarlierPair(pair)) lastZipPair_ = pair;
        }
        if (stages_) {
            stagesOwed_ = true;
            refusal = stages_->beforePairs(pairs);
            stagesFailed_ = !refusal.empty();
        }
        for (int pair = 0; pair < kFolderPairs && !cancelRequested_; ++pair) archivePairSafely(pair, refusal);
        endStages(true);
        warnOfFullDisks();
    } catch (...) {
        // Whatever went wrong outside a pair, the run ends as every run ends.
    }
    try {
        endStages(false);  // the command after runs whatever happened before
        if (stages_) stages_->runEnded();
    } catch (...) {
    }
    pairInProgress_.reset();
    decision_ = recordDecision(outcomes_);

    try {
        const LocalDateTime end = clock_.now();
        CalendarDate date =
            makeDate(std::to_string(end.day), std::to_string(end.month), std::to_string(end.year), locale_);
        view_.setLastBackupText(
            lastBackupText(shortDateText(date, locale_.shortDatePattern),
                           timeOfDayText(end.hour, end.minute, end.second, locale_.timeSeparator)));
    } catch (...) {
        // the label keeps its old text
    }
    view_.setCopyEnabled(true);
    view_.setExitCaption(std::string(kCaptionHide));
    running_ = false;
    try {
        if (record_) record_();
    } catch (...) {
        // a failed record changes nothing about the run
    }
}

// A step that throws (no memory for a damaged archive's claims, no thread to be had) fails its
// pair with the reason, and the run goes on: it must never be left half-done.
bool BackupRun::repeatsAnEarlierPair(int pair) const {
    const bool ignoreCase = nativeZipNaming() == ZipNaming::Windows;
    for (int earlier = 0; earlier < pair; ++earlier) {
        if (sameFolder(view_.sourceFolder(earlier), view_.sourceFolder(pair), ignoreCase) &&
            sameFolder(view_.targetFolder(earlier), view_.targetFolder(pair), ignoreCase))
            return true;
    }
    return false;
}

void BackupRun::endStages(bool lastZipWentWell) {
    if (!stages_ || !std::exchange(stagesOwed_, false)) return;
    const bool wentWell = lastZipWentWell && !stagesFailed_ && !cancelRequested_ &&
                          std::none_of(outcomes_.begin(), outcomes_.end(), pairFailed);
    stages_->afterZips(wentWell);
}

void BackupRun::archivePairSafely(int pair, const std::string& refusal) {
    // The same folder into the same target twice in one run would only make a second full copy.
    if (repeatsAnEarlierPair(pair)) return;
    pairInProgress_ = pair;
    PairOutcome outcome;
    outcome.pair = pair;
    bool told = false;
    try {
        told = archivePair(pair, zipTool(), refusal, outcome);
    } catch (const std::exception& e) {
        unchecked(outcome, std::string("denetlenemedi: ") + e.what());
        told = true;
    } catch (...) {
        unchecked(outcome, "denetlenemedi: bilinmeyen hata");
        told = true;
    }
    pairInProgress_.reset();
    inFlight_.reset();
    if (!told) return;
    outcomes_.push_back(outcome);
    if (observer_) observer_->pairDone(outcome);
}

std::string BackupRun::zipTool() const {
    if (!ownZip_.empty()) return ownZip_;
    const std::string prefix = toolPrefix(view_.sourceFolder(0));
    return isDriveRoot(prefix) ? zipToolPath(prefix) : std::string();
}

void BackupRun::unchecked(PairOutcome& outcome, std::string problem) {
    // Once zip was started, what it left was never verified: it gives up its .zip name.
    const bool zipStarted = outcome.kind == PairOutcome::Kind::ZipFailed;
    outcome.kind = PairOutcome::Kind::Unchecked;
    outcome.problem = std::move(problem);
    if (!zipStarted) return;
    try {
        markFailedArchive(outcome);
    } catch (...) {
    }
}

bool BackupRun::archivePair(int pair, const std::string& tool, const std::string& refusal, PairOutcome& outcome) {
    outcome.target = view_.targetFolder(pair);
    const bool targetSound = isFolderText(outcome.target);
    if (targetSound) files_.createFolder(outcome.target);
    outcome.source = view_.sourceFolder(pair);
    if (outcome.source.empty()) return false;  // an unused pair: nothing to tell
    // A text that could break zip's command line (a hand-edited settings file) starts nothing.
    outcome.kind = PairOutcome::Kind::Refused;
    if (!refusal.empty()) {
        outcome.problem = refusal;
        return true;
    }
    if (!targetSound || !isFolderText(outcome.source)) {
        outcome.problem = badFolderText(targetSound ? outcome.source : outcome.target);
        return true;
    }
    if (tool.empty()) {
        outcome.problem = std::string(kPrefixNotADrive) + view_.sourceFolder(0);
        return true;
    }
    // A snapshot's failure under "zorunlu" fails the pair before anything is read.
    const SourcePlace place = stages_ ? stages_->sourcePlace(outcome.source) : SourcePlace{};
    if (!place.refusal.empty()) {
        outcome.problem = place.refusal;
        return true;
    }
    const std::string readFrom = place.snapshot ? place.snapshot->listFrom : std::string();
    outcome.kind = PairOutcome::Kind::SourceMissing;
    if (!files_.folderExists(outcome.source)) return true;
    if (observer_ && targetInsideSource(outcome.source, outcome.target))
        observer_->targetInsideSource(outcome.source, outcome.target);
    // Listed before zip starts, so that a file zip silently passes over is noticed.
    // "İptal" and the stop end a listing too: it runs on its own thread while the window lives.
    ListingLimits limits;
    limits.stopped = [this] { return cancelRequested_.load(); };
    const SourceListing listing = whileWindowLive(
        [this, &outcome, &limits, &readFrom] { return listSource(files_, outcome.source, limits, readFrom); },
        processEvents_);
    if (!listing.problem.empty()) {
        outcome.kind = PairOutcome::Kind::Incomplete;
        outcome.problem = listing.problem;
        return true;
    }
    // The target as zip finds it: its space and, for the work file zip will add, its names.
    const std::optional<VolumeSpace> space = files_.volumeSpace(outcome.target);
    const std::vector<std::string> namesBefore = namesIn(outcome.target);
    if (!roomFor(outcome, space, namesBefore)) return true;
    archiveName_ = zel::archiveName(outcome.target, clock_.now());
    outcome.archivePath = archivePath(outcome.target, archiveName_);
    if (!clearTheName(outcome)) return true;
    // Where the system needs it, zip's work file (the archive to be) is private from its first byte.
    std::string workFailure;
    const std::optional<std::string> work = files_.privateWorkFolder(outcome.target, workFailure);
    if (!workFailure.empty()) {
        outcome.kind = PairOutcome::Kind::Incomplete;
        outcome.problem = "zip'in iş klasörü açılamadı: " + workFailure;
        return true;
    }
    // From a snapshot zip starts in its folder and is given the source relative to the volume, so
    // that the entries are named as in a live run.
    const std::optional<std::string> line = zipCommandLine(
        tool, outcome.target, archiveName_, place.snapshot ? place.snapshot->zipSource : outcome.source, work.value_or(""));
    if (!line) {
        if (work) files_.removeEmptyFolder(*work);
        throw std::invalid_argument("komut satırı kurulamadı");  // the texts were checked above
    }
    outcome.kind = PairOutcome::Kind::ZipFailed;  // until zip and the check say otherwise
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::string> workNamesBefore = work ? std::vector<std::string>{} : namesBefore;
    ArchiveFollower follower(files_, work.value_or(outcome.target), workNamesBefore, space && space->remote);
    inFlight_ = InFlight{outcome.target, namesBefore, outcome.archivePath,
                         std::find(namesBefore.begin(), namesBefore.end(), archiveName_) != namesBefore.end(), true,
                         work};
    const ProcessRunner::Outcome zip = runner_.run(*line, kZipWaitLimitMs, kZipWindowStyle, 0,
                                                   place.snapshot ? place.snapshot->workingFolder : std::string());
    inFlight_->zipRunning = false;
    // zip's "could not open": a file listed when zip began was gone when it came to it.
    const bool passedOver = zip.result != kRunError && zip.exitCode == kZipCouldNotOpen;
    // A database stopped for the run is started again as soon as zip is done with the last pair,
    // before the read-back.
    if (lastZipPair_ == pair) endStages(zip.result == kRunEnded && (zip.exitCode == 0 || passedOver));
    const std::vector<EarlyCheck> early = follower.finish(zip.result != kRunError && (zip.exitCode == 0 || passedOver));
    if (work) files_.removeEmptyFolder(*work);
    outcome.exitCode = zip.exitCode;
    const std::optional<std::uint64_t> size = files_.fileSize(outcome.archivePath);
    if (zip.result == kRunError) {
        outcome.kind = PairOutcome::Kind::ZipNotStarted;
    } else if ((zip.exitCode == 0 || passedOver) && size) {
        outcome.archiveBytes = *size;
        checkWhatZipWrote(outcome, listing, early, !place.snapshot);
        // Only files that are gone excuse it (a database's temporary and lock files come and go);
        // one still there that zip could not read fails the pair as zip said.
        if (passedOver && (outcome.kind != PairOutcome::Kind::Archived || outcome.vanished.empty())) {
            outcome.kind = PairOutcome::Kind::ZipFailed;
            outcome.problem.clear();
        }
        if (outcome.kind == PairOutcome::Kind::Archived)
            deleteOldArchives(outcome);
        else
            markFailedArchive(outcome);
    } else {
        markFailedArchive(outcome);  // zip's error may have left an archive all the same
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}

std::string BackupRun::stopInMidRun() {
    cancelRequested_ = true;  // a listing still under way ends at its next folder
    // A command before that is running now is ended with the rest; the one after still runs.
    if (!inFlight_) {
        if (running_) {
            runner_.endWaited();
            endStages(false);
            if (stages_) stages_->runEnded();
        }
        return {};
    }
    const InFlight pair = *std::exchange(inFlight_, std::nullopt);
    std::vector<std::string> said;
    if (pair.zipRunning) {
        said.push_back(runner_.endWaited() ? "zip durduruldu" : "zip durdurulamadı");
        const std::string folder = pair.workFolder.value_or(pair.target);
        const std::set<std::string> before =
            pair.workFolder ? std::set<std::string>{} : std::set<std::string>(pair.namesBefore.begin(), pair.namesBefore.end());
        if (const std::optional<std::vector<FolderItem>> items = files_.listFolder(folder)) {
            for (const std::string& work : zipWorkFiles(before, *items)) {
                if (files_.removeFile(archivePath(folder, work))) said.push_back("iş dosyası silindi: " + work);
            }
        }
        if (pair.workFolder) files_.removeEmptyFolder(*pair.workFolder);
    }
    // zip leaves an archive it was updating untouched until it is done: that one stays as it was.
    if (!pair.zipRunning || !pair.archiveWasThere) {
        PairOutcome unchecked;
        unchecked.kind = PairOutcome::Kind::Incomplete;
        unchecked.archivePath = pair.archivePath;
        markFailedArchive(unchecked);
        if (unchecked.archivePath != pair.archivePath) said.push_back("denetlenmemiş arşiv: " + unchecked.archivePath);
    }
    endStages(false);
    if (stages_) stages_->runEnded();
    std::string text;
    for (const std::string& s : said) text += (text.empty() ? "" : ", ") + s;
    return text;
}

std::vector<std::string> BackupRun::namesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (std::optional<std::vector<FolderItem>> items = files_.listFolder(folder)) {
        for (const FolderItem& item : *items) {
            if (item.kind == FolderItem::Kind::File) names.push_back(item.name);
        }
    }
    return names;
}

// The disk must keep room for the host application's database too: a zip that would fill it is
// not started. A volume whose space cannot be read is not held against the pair.
bool BackupRun::roomFor(PairOutcome& outcome, const std::optional<VolumeSpace>& space,
                        const std::vector<std::string>& names) {
    if (!space) return true;
    // Another user's file under a newer name (a sparse one of terabytes, say) is no earlier archive.
    std::optional<std::uint64_t> earlierSize;
    if (std::optional<ProgramArchive> newest =
            newestArchive(ownFiles(outcome.target, names), archiveBase(outcome.target)))
        earlierSize = files_.fileSize(archivePath(outcome.target, newest->name));
    const std::uint64_t need = spaceNeeded(*space, earlierSize);
    if (space->free >= need) return true;
    outcome.kind = PairOutcome::Kind::NoRoom;
    outcome.problem = noRoomText(outcome.target, space->free, need);
    return false;
}

// An archive that failed in any way gives up its .zip name, so the newest .zip is always a verified
// one. An earlier failure of the same name is never replaced: the new one is numbered.
void BackupRun::markFailedArchive(PairOutcome& outcome) {
    if (!files_.fileSize(outcome.archivePath)) return;  // zip left nothing
    const std::string_view suffix =
        outcome.kind == PairOutcome::Kind::Damaged ? kDamagedSuffix : kIncompleteSuffix;
    if (std::optional<std::string> renamed = renameAside(outcome.archivePath, suffix, outcome.renameFailure))
        outcome.archivePath = std::move(*renamed);
}

std::optional<std::string> BackupRun::renameAside(const std::string& path, std::string_view suffix,
                                                  std::string& failure) {
    WriteResult r{"ad kalmadı"};
    for (int n = 0; n < kFailedNameTries; ++n) {
        const std::string renamed =
            path + (n == 0 ? std::string() : "." + std::to_string(n)) + std::string(suffix);
        if (files_.attributesReadable(renamed)) continue;
        r = files_.renameFile(path, renamed);
        if (r) return renamed;
        if (!files_.attributesReadable(renamed)) break;  // not taken a moment ago: a real failure
    }
    failure = r.failure;
    return std::nullopt;
}

// An earlier pair of this run, or an earlier run in the same minute, left its own archive under the
// name, and zip adds to it. Anything else there (another user's file, a link, a file others may read)
// would make zip copy its entries, and its permissions, into this program's archive.
bool BackupRun::clearTheName(PairOutcome& outcome) {
    const std::string why = files_.foreignness(outcome.archivePath);
    if (why.empty()) return true;
    std::string failure;
    const std::optional<std::string> aside = renameAside(outcome.archivePath, kFoundSuffix, failure);
    if (observer_) observer_->foundInTheWay(outcome.archivePath, why, aside.value_or(""), failure);
    if (aside) return true;
    outcome.kind = PairOutcome::Kind::Refused;
    outcome.problem = "Hedefte arşivin adında bir dosya var, kenara alınamadı: " + outcome.archivePath +
                      " (" + failure + ")";
    return false;
}

std::vector<std::string> BackupRun::ownFiles(const std::string& target,
                                             const std::vector<std::string>& names) {
    std::vector<std::string> own;
    for (const std::string& name : names)
        if (programArchive(name, archiveBase(target)) &&
            files_.foreignness(archivePath(target, name)).empty())
            own.push_back(name);
    return own;
}

void BackupRun::deleteOldArchives(const PairOutcome& outcome) {
    const int keep = view_.archivesToKeep();
    if (keep <= 0) return;
    // Files that somebody else put under the program's names are neither counted nor deleted: with
    // newer names they would otherwise push the real archives out.
    const std::vector<std::string> names = ownFiles(outcome.target, namesIn(outcome.target));
    // Names ahead of a clock that went back sort as the newest and would stay for ever, while
    // each run deletes the one before it: nothing goes until the clock is past them.
    if (const std::optional<ProgramArchive> ahead = archiveAheadOf(names, archiveBase(outcome.target), clock_.now())) {
        if (observer_) observer_->clockWentBack(archivePath(outcome.target, ahead->name));
        return;
    }
    for (const std::string& name :
         archivesBeyond(ownArchives(outcome, names), archiveBase(outcome.target), keep, archiveName_)) {
        const std::string path = archivePath(outcome.target, name);
        const WriteResult removed = files_.removeFile(path);
        if (observer_) observer_->oldArchiveDeleted(path, removed.failure);
    }
}

// Pairs may share a target folder, and so the archives' names: each pair's retention counts only
// the archives that hold its source and no other pair's, by their central directories. One that
// cannot be read, or that two pairs wrote in one minute, is nobody's and stays.
std::vector<std::string> BackupRun::ownArchives(const PairOutcome& outcome, const std::vector<std::string>& names) {
    const ZipNaming naming = nativeZipNaming();
    std::vector<std::string> prefixes;
    for (int pair = 0; pair < kFolderPairs; ++pair) {
        const std::string source = view_.sourceFolder(pair);
        if (!source.empty() && isFolderText(source)) prefixes.push_back(zipEntryPrefix(source, naming));
    }
    const std::string own = zipEntryPrefix(outcome.source, naming);
    std::vector<std::string> owned;
    for (const std::string& name : names) {
        if (!programArchive(name, archiveBase(outcome.target))) continue;
        const std::unique_ptr<FileReader> archive = files_.openForReading(archivePath(outcome.target, name));
        const std::optional<std::vector<std::string>> entries = archive ? archiveEntryNames(*archive) : std::nullopt;
        if (!entries) continue;
        const std::optional<std::string> owner = owningPrefix(*entries, prefixes, naming == ZipNaming::Windows);
        if (owner && *owner == own) owned.push_back(name);
    }
    return owned;
}

void BackupRun::warnOfFullDisks() {
    if (!observer_) return;
    std::vector<std::pair<std::string, std::uint64_t>> written;  // by target, in the pairs' order
    for (const PairOutcome& o : outcomes_) {
        if (o.kind != PairOutcome::Kind::Archived) continue;
        auto it =
            std::find_if(written.begin(), written.end(), [&](const auto& w) { return w.first == o.target; });
        if (it == written.end())
            written.emplace_back(o.target, o.archiveBytes);
        else
            it->second += o.archiveBytes;
    }
    for (const auto& [target, bytes] : written) {
        const std::optional<VolumeSpace> space = files_.volumeSpace(target);
        if (!space) continue;
        if (const std::optional<std::uint64_t> left = runsLeftWhenLow(space->free, bytes))
            observer_->diskNearlyFull(target, space->free, *left);
    }
}

void BackupRun::checkWhatZipWrote(PairOutcome& outcome, const SourceListing& listing,
                                  const std::vector<EarlyCheck>& early, bool live) {
    // Files read from a snapshot cannot change while zip reads them: they are not looked at again.
    const AfterZip after = whileWindowLive(
        [this, &outcome, &early, &listing, live] {
            return checkAfterZip(files_, outcome.archivePath, early, live ? &listing : nullptr);
        },
        processEvents_);
    const ArchiveCheck& check = after.check;
    if (!check.whole) {
        outcome.kind = PairOutcome::Kind::Damaged;
        outcome.problem = "arşiv bozuk: " + check.problem;
        return;
    }
    // What zip made must be this program's file alone, holding the sources of the pairs that write
    // into this folder alone (in one minute they share the name): a file slipped in under the name
    // while zip started would have lent it its entries and permissions.
    const ZipNaming naming = nativeZipNaming();
    const bool ignoreCase = naming == ZipNaming::Windows;
    std::vector<std::string> sharing;
    for (int pair = 0; pair < kFolderPairs; ++pair) {
        const std::string source = view_.sourceFolder(pair);
        if (!source.empty() && isFolderText(source) &&
            sameFolder(view_.targetFolder(pair), outcome.target, ignoreCase))
            sharing.push_back(zipEntryPrefix(source, naming));
    }
    const auto stranger = std::find_if(check.files.begin(), check.files.end(), [&](const std::string& e) {
        return !std::any_of(sharing.begin(), sharing.end(), [&](const std::string& prefix) {
            return owningPrefix({e}, {prefix}, ignoreCase);
        });
    });
    std::string foreign = files_.foreignness(outcome.archivePath);
    if (!foreign.empty() || stranger != check.files.end()) {
        outcome.kind = PairOutcome::Kind::Damaged;
        outcome.problem = !foreign.empty() ? "arşiv bu programın değil: " + foreign
                                           : "arşivde kaynağın dışından bir dosya var: " + *stranger;
        return;
    }
    const auto stampNow = [&after](const std::string& path) -> std::optional<FileStamp> {
        const auto it = after.stampsNow.find(path);
        return it == after.stampsNow.end() ? std::nullopt : std::optional<FileStamp>(it->second);
    };
    const Completeness gaps = compareWithArchive(
        listing, check.files, check.sizes, [this](const std::string& path) { return files_.attributesReadable(path); },
        live ? std::function<std::optional<FileStamp>(const std::string&)>(stampNow) : nullptr);
    outcome.problem = namesText("okunamayan klasör", "klasör", listing.unreadableFolders);
    if (outcome.problem.empty()) outcome.problem = namesText("arşivde yok", "dosya", gaps.missing);
    outcome.kind = outcome.problem.empty() ? PairOutcome::Kind::Archived : PairOutcome::Kind::Incomplete;
    outcome.filesVerified = check.files.size();
    outcome.leftOutByZip = listing.leftOutByZip;
    outcome.vanished = gaps.vanished;
    outcome.changed = gaps.changed;
}

}  // namespace zel
