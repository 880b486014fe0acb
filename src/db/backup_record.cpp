#include "db/backup_record.h"

#include "db/history.h"

namespace zel {

void BackupRecorder::updateBackupDate(const std::string& builtArchivePath) {
    if (!files_.attributesReadable(builtArchivePath)) return;
    if (db_.state() == 0) {
        db_.openDSN();
        if (db_.state() == 0) return;
    }
    QueryResult current = db_.execute(std::string(kHistoryQuery));
    const std::string entry = historyEntry(clock_.now(), locale_, computerName_());
    if (current.eof) {
        db_.execute(historyInsertStatement(entry));
    } else {
        db_.execute(historyUpdateStatement(prependHistory(entry, current.firstField.value_or(""))));
    }
}

}  // namespace zel
