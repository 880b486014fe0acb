#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/archive_check.h"
#include "engine/backup_report.h"
#include "engine/process_runner.h"
#include "engine/run_stages.h"
#include "engine/source_listing.h"
#include "platform/files/file_system.h"
#include "platform/system/clock.h"
#include "platform/system/locale_formats.h"

namespace zel {

inline constexpr int kFolderPairs = 4;
inline constexpr std::int32_t kZipWaitLimitMs = 999999999;
// Info-ZIP's exit code when a file it was to add could not be opened.
inline constexpr int kZipCouldNotOpen = 18;
inline constexpr std::int32_t kZipWindowStyle = 4;  // normal window that does not take the focus
// Names a failed archive may take (X.zip.eksik, X.zip.1.eksik, ...) before its rename gives up.
inline constexpr int kFailedNameTries = 100;

// What a backup run reads and writes of the window.
class BackupView {
public:
    virtual ~BackupView() = default;
    virtual std::string sourceFolder(int pair) const = 0;
    virtual std::string targetFolder(int pair) const = 0;
    virtual void setCopyEnabled(bool enabled) = 0;
    virtual void setExitCaption(const std::string& caption) = 0;
    virtual void setLastBackupText(const std::string& text) = 0;
    // Archives kept per target folder; 0 keeps all.
    virtual int archivesToKeep() const = 0;
};

inline constexpr std::string_view kCaptionHide = "Gizle";
inline constexpr std::string_view kCaptionCancel = "\xC4\xB0ptal";  // "İptal"

// One pass over the folder pairs: each existing source folder is zipped into a new date-stamped
// archive in its target folder, then reads it back. Every step that fails is skipped, and the
// observer hears how each pair ended.
class BackupRun {
public:
    BackupRun(BackupView& view, FileSystem& files, const Clock& clock, const ProcessRunner& runner,
              LocaleFormats locale, std::function<void()> record, BackupObserver* observer = nullptr,
              std::function<void()> processEvents = {}, std::string ownZip = {})
        : view_(view),
          files_(files),
          clock_(clock),
          runner_(runner),
          locale_(std::move(locale)),
          record_(std::move(record)),
          observer_(observer),
          processEvents_(std::move(processEvents)),
          ownZip_(std::move(ownZip)) {}

    // The whole run. Does nothing while a run is already in progress.
    void run();
    // What runs around the pairs' zips from the next run on; none: the pairs alone.
    void setStages(RunStages* stages) { stages_ = stages; }

    bool running() const { return running_; }
    // Stops the run from starting any further pair; the zip that runs now finishes.
    void requestCancel() { cancelRequested_ = true; }
    bool cancelRequested() const { return cancelRequested_; }

    // File name of the archive built last, kept from run to run; empty until the first one.
    const std::string& archiveName() const { return archiveName_; }
    // What the latest run may record: the full folder text of the archive it built last, when it
    // archived at least one pair and no pair failed; otherwise empty, with why.
    const std::string& builtArchivePath() const { return decision_.archivePath; }
    const std::string& whyNotRecorded() const { return decision_.whyNot; }
    // The pair the run is working on (listing, zip or read-back); nothing between pairs.
    std::optional<int> pairInProgress() const { return pairInProgress_; }
    // The program's end in the middle of a pair, from inside the run's waits: zip is ended with
    // whatever it started, its work file removed, and an archive it finished that was not read
    // back gives up its .zip name. Says what was done; empty when nothing was in flight.
    std::string stopInMidRun();

private:
    // `refusal`: why the pair fails without zip (what ran before the pairs failed); empty: it runs.
    void archivePairSafely(int pair, const std::string& refusal);
    // False for an unused pair, which has nothing to tell.
    bool archivePair(int pair, const std::string& tool, const std::string& refusal, PairOutcome& outcome);
    // Whether an earlier pair of the run has the same source and target: it is not run twice.
    bool repeatsAnEarlierPair(int pair) const;
    // The stage after the zips, once per run that began its stages. `lastZipWentWell`: the zip
    // that just ended, if any, ended well.
    void endStages(bool lastZipWentWell);
    // The zip program this run starts: the service's own, or the copy under the first source's
    // drive; empty when that source starts with no drive, and no program is taken from it.
    std::string zipTool() const;
    // `live`: zip read the source itself, not a snapshot of it.
    void checkWhatZipWrote(PairOutcome& outcome, const SourceListing& listing,
                           const std::vector<EarlyCheck>& early, bool live);
    // The names in the target folder; empty when it cannot be listed.
    std::vector<std::string> namesIn(const std::string& folder);
    bool roomFor(PairOutcome& outcome, const std::optional<VolumeSpace>& space,
                 const std::vector<std::string>& names);
    void markFailedArchive(PairOutcome& outcome);
    // Renames `path` to the first free name of path + [".<n>"] + suffix; the new name, or nothing
    // with `failure` set.
    std::optional<std::string> renameAside(const std::string& path, std::string_view suffix,
                                           std::string& failure);
    // Zip updates an archive it finds under its name: a file there that is not the program's is set
    // aside unopened. False when it stays: the pair is then refused.
    bool clearTheName(PairOutcome& outcome);
    // The program's archive names among `names` that are this program's own files.
    std::vector<std::string> ownFiles(const std::string& target, const std::vector<std::string>& names);
    // A pair whose step threw: failed with why.
    void unchecked(PairOutcome& outcome, std::string problem);
    void deleteOldArchives(const PairOutcome& outcome);
    // This pair's archives among the target's names.
    std::vector<std::string> ownArchives(const PairOutcome& outcome, const std::vector<std::string>& names);
    void warnOfFullDisks();

    BackupView& view_;
    FileSystem& files_;
    const Clock& clock_;
    const ProcessRunner& runner_;
    LocaleFormats locale_;
    std::function<void()> record_;
    BackupObserver* observer_;
    std::function<void()> processEvents_;  // keeps the window live while the run reads files
    RunStages* stages_ = nullptr;
    bool stagesOwed_ = false;   // the stage before ran this run; the one after has not yet
    bool stagesFailed_ = false;  // the stage before refused the run's pairs
    std::optional<int> lastZipPair_;  // the run's last pair that may start zip
    // The service's zip, installed where only administrators write; empty alone, where zip.ex_
    // is copied to zip.exe under the first source's drive and that is run.
    std::string ownZip_;

    bool running_ = false;
    std::atomic<bool> cancelRequested_ = false;  // read by the listing's thread too
    std::optional<int> pairInProgress_;
    // What a stop must clean up of the pair in progress, once its zip is started.
    struct InFlight {
        std::string target;
        std::vector<std::string> namesBefore;
        std::string archivePath;
        bool archiveWasThere = false;  // an earlier pair's archive of the same minute, which zip updates
        bool zipRunning = false;
        std::optional<std::string> workFolder;  // zip's own, when the system needs one
    };
    std::optional<InFlight> inFlight_;
    std::string archiveName_;
    std::vector<PairOutcome> outcomes_;  // the latest run's, in order
    RecordDecision decision_;
};

}  // namespace zel
