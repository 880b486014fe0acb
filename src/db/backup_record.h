#pragma once

#include <functional>
#include <string>

#include "db/db_link.h"
#include "platform/files/file_system.h"
#include "platform/system/clock.h"
#include "platform/system/locale_formats.h"

namespace zel {

// Puts the date, time and computer name of a backup in front of the history in row 1000.
class BackupRecorder {
public:
    BackupRecorder(DbLink& db, FileSystem& files, const Clock& clock, LocaleFormats locale,
                   std::function<std::string()> computerName)
        : db_(db),
          files_(files),
          clock_(clock),
          locale_(std::move(locale)),
          computerName_(std::move(computerName)) {}

    // Records a backup when the archive the latest run built exists (an empty path never does);
    // false when there was nothing to record. Every failure goes to the caller; the row then
    // keeps its previous value.
    bool updateBackupDate(const std::string& builtArchivePath);

private:
    DbLink& db_;
    FileSystem& files_;
    const Clock& clock_;
    LocaleFormats locale_;
    std::function<std::string()> computerName_;
};

}  // namespace zel
