#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "db/backup_record.h"
#include "db/db_link.h"
#include "db/disconnect_service.h"
#include "db/serial_worker.h"
#include "engine/process_runner.h"
#include "platform/process.h"

namespace zel {

// Runs a function on the window's thread, later. Each front end supplies one.
using PostToWindow = std::function<void(std::function<void()>)>;

// What a database step reports to the window once it is done.
struct DbOutcome {
    enum class Step { StartUp, Record, CheckFirst, Poll };
    Step step = Step::StartUp;
    std::string error;                    // empty when the step went through
    bool connected = false;               // whether the connection is open after the step
    bool recorded = false;                // start-up or a record: an entry went into the history
    std::optional<ServedRequest> served;  // a poll: whose disconnect was run
};

// The program's database connection on a thread of its own, so that a slow or hung server never
// holds the window. The window posts the steps; they run there one by one in the order posted,
// and each one's outcome comes back on the window's thread. Every call returns at once.
class DatabaseThread {
public:
    struct Parts {
        ConnectionFactory connections;
        FileSystem& files;
        const Clock& clock;
        LocaleFormats locale;
        std::function<std::string()> computerName;
        // The shutdown utility is started and waited for on the database thread.
        ProcessOps& processes;
    };

    DatabaseThread(Parts parts, PostToWindow toWindow, std::function<void(const DbOutcome&)> onOutcome = {});
    // Waits for the step in progress; the steps still waiting are dropped.
    ~DatabaseThread();

    // Start-up: openDSN, then updateBackupDate. A failure of either is caught: the program runs
    // on without a connection and the polls keep trying to open one.
    void startUp(std::string builtArchivePath);
    // updateBackupDate after a run, for the archive that run built (empty: none).
    void record(std::string builtArchivePath);
    void checkFirst();
    // One poll for the drive of the first source folder. False, and nothing posted, while the
    // previous poll is still busy: a request must not be served twice.
    bool poll(std::string firstSource);

private:
    void post(DbOutcome::Step step, std::function<void(DbOutcome&)> work);

    ProcessRunner runner_;
    DbLink db_;
    BackupRecorder recorder_;
    DisconnectService disconnect_;
    PostToWindow toWindow_;
    std::function<void(const DbOutcome&)> onOutcome_;
    bool pollBusy_ = false;                                       // window thread only
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // window thread only
    SerialWorker worker_;                                         // last: its jobs use everything above
};

}  // namespace zel
