#include "engine/backup_run.h"

#include <chrono>

#include "engine/archive_check.h"
#include "engine/backup_rules.h"
#include "engine/date_text.h"
#include "engine/live_wait.h"

namespace zel {

void BackupRun::run() {
    if (running_) return;  // a press or a due slot during a run starts nothing
    running_ = true;
    view_.setCopyEnabled(false);
    cancelRequested_ = false;
    builtArchivePath_.clear();
    view_.setExitCaption(std::string(kCaptionCancel));

    // The tool prefix is read afresh each time, as the box may have changed during a wait.
    const std::string store = zipStorePath(toolPrefix(view_.sourceFolder(0)));
    const std::string tool = zipToolPath(toolPrefix(view_.sourceFolder(0)));
    if (!files_.copyFile(store, tool) && observer_) observer_->zipNotCopied(store, tool);

    for (int pair = 0; pair < kFolderPairs && !cancelRequested_; ++pair) {
        archivePair(pair, toolPrefix(view_.sourceFolder(0)));
    }

    const LocalDateTime end = clock_.now();
    try {
        CalendarDate date =
            makeDate(std::to_string(end.day), std::to_string(end.month), std::to_string(end.year), locale_);
        view_.setLastBackupText(
            lastBackupText(shortDateText(date, locale_.shortDatePattern),
                           timeOfDayText(end.hour, end.minute, end.second, locale_.timeSeparator)));
    } catch (const std::exception&) {
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

void BackupRun::archivePair(int pair, const std::string& prefix) {
    PairOutcome outcome;
    outcome.target = view_.targetFolder(pair);
    files_.createFolder(outcome.target);
    outcome.source = view_.sourceFolder(pair);
    if (outcome.source.empty()) return;  // an unused pair: nothing to tell
    if (!files_.folderExists(outcome.source)) {
        if (observer_) observer_->pairDone(outcome);
        return;
    }
    // Listed before zip starts, so that a file zip silently passes over is noticed.
    const SourceListing listing =
        whileWindowLive([this, &outcome] { return listSource(files_, outcome.source); }, processEvents_);
    archiveName_ = zel::archiveName(outcome.target, clock_.now());
    outcome.archivePath = archivePath(outcome.target, archiveName_);
    const auto started = std::chrono::steady_clock::now();
    const ProcessRunner::Outcome zip =
        runner_.run(zipCommandLine(prefix, outcome.target, archiveName_, outcome.source), kZipWaitLimitMs,
                    kZipWindowStyle, 0);
    outcome.exitCode = zip.exitCode;
    const std::optional<std::uint64_t> size = files_.fileSize(outcome.archivePath);
    if (zip.result == kRunError) {
        outcome.kind = PairOutcome::Kind::ZipNotStarted;
    } else if (zip.exitCode == 0 && size) {
        outcome.archiveBytes = *size;
        checkWhatZipWrote(outcome, listing);
    } else {
        outcome.kind = PairOutcome::Kind::ZipFailed;
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    builtArchivePath_ = outcome.kind == PairOutcome::Kind::Archived ? outcome.archivePath : std::string();
    if (observer_) observer_->pairDone(outcome);
}

void BackupRun::checkWhatZipWrote(PairOutcome& outcome, const SourceListing& listing) {
    const ArchiveCheck check = whileWindowLive(
        [this, &outcome] {
            std::unique_ptr<FileReader> archive = files_.openForReading(outcome.archivePath);
            return archive ? checkArchive(*archive) : ArchiveCheck{false, "okunamadı", {}};
        },
        processEvents_);
    if (!check.whole) {
        outcome.kind = PairOutcome::Kind::Damaged;
        outcome.problem = "arşiv bozuk: " + check.problem;
        return;
    }
    const Completeness gaps = compareWithArchive(
        listing, check.files, [this](const std::string& path) { return files_.attributesReadable(path); });
    outcome.problem = namesText("okunamayan klasör", "klasör", listing.unreadableFolders);
    if (outcome.problem.empty()) outcome.problem = namesText("arşivde yok", "dosya", gaps.missing);
    outcome.kind = outcome.problem.empty() ? PairOutcome::Kind::Archived : PairOutcome::Kind::Incomplete;
    outcome.filesVerified = check.files.size();
    outcome.leftOutByZip = listing.leftOutByZip;
    outcome.vanished = gaps.vanished;
}

}  // namespace zel
