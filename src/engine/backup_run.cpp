#include "engine/backup_run.h"

#include "engine/backup_rules.h"
#include "engine/date_text.h"

namespace zel {

void BackupRun::run() {
    if (running_) return;  // a press or a due slot during a run starts nothing
    running_ = true;
    view_.setCopyEnabled(false);
    cancelRequested_ = false;
    builtArchivePath_.clear();
    view_.setExitCaption(std::string(kCaptionCancel));

    // The tool prefix is read afresh each time, as the box may have changed during a wait.
    files_.copyFile(zipStorePath(toolPrefix(view_.sourceFolder(0))),
                    zipToolPath(toolPrefix(view_.sourceFolder(0))));

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
    const std::string target = view_.targetFolder(pair);
    files_.createFolder(target);
    const std::string source = view_.sourceFolder(pair);
    if (!files_.folderExists(source)) return;
    archiveName_ = zel::archiveName(target, clock_.now());
    builtArchivePath_ = archivePath(target, archiveName_);
    runner_.runAndWait(zipCommandLine(prefix, target, archiveName_, source), kZipWaitLimitMs, kZipWindowStyle,
                       0);
}

}  // namespace zel
