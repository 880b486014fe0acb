#include "db/backup_record.h"

#include "db/history.h"

namespace zel {

bool BackupRecorder::updateBackupDate(const std::string& builtArchivePath) {
    if (!files_.attributesReadable(builtArchivePath)) return false;
    if (db_.state() == 0) {
        db_.openDSN();
        if (db_.state() == 0) return false;
    }
    // A restart of the server since the last statement must not cost this entry.
    QueryResult current = db_.executeReopening(std::string(kHistoryQuery));
    const std::string entry = historyEntry(clock_.now(), locale_, computerName_());
    if (current.eof) {
        db_.executeReopening(historyInsertStatement(entry));
    } else {
        db_.executeReopening(historyUpdateStatement(prependHistory(entry, current.firstField.value_or(""))));
    }
    return true;
}

}  // namespace zel
