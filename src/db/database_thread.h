#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "db/backup_record.h"
#include "db/db_link.h"
#include "db/disconnect_service.h"
#include "db/serial_worker.h"
#include "engine/process_runner.h"
#include "platform/processes/process.h"

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
    std::chrono::milliseconds waited{0};  // a record: how long it queued behind other steps
};

// What became of the records still unreported when the program ends.
struct RecordsAtEnd {
    std::vector<DbOutcome> finished;
    int unfinished = 0;  // still queued or being written when the time was up
};

// The program's database connection on a thread of its own, so that a slow or hung server never
// holds the window. The window posts the steps; they run there one by one in the order posted,
// and each one's outcome comes back on the window's thread. Every call returns at once. The
// shutdown utility is waited for on a second thread, so records go on while it runs.
class DatabaseThread {
public:
    struct Parts {
        ConnectionFactory connections;
        FileSystem& files;
        const Clock& clock;
        LocaleFormats locale;
        std::function<std::string()> computerName;
        // Plain waits, for the shutdown utility.
        ProcessOps& processes;
        // The service's check of the utility's folders; unset alone.
        UntrustedWriters untrustedWriters = {};
    };

    DatabaseThread(Parts parts, PostToWindow toWindow, std::function<void(const DbOutcome&)> onOutcome = {});
    // Waits for the step in progress, but not for a shutdown utility: that runs on unwatched.
    // The steps still waiting are dropped.
    ~DatabaseThread();

    // Start-up: openDSN, then updateBackupDate. A failure of either is caught: the program runs
    // on without a connection and the polls keep trying to open one.
    void startUp(std::string builtArchivePath);
    // updateBackupDate after a run, for the archive that run built (empty: none).
    void record(std::string builtArchivePath);
    void checkFirst();
    // One poll for the drive of the first source folder: the query, the utility, the delete. False,
    // and nothing posted, while the previous poll is still busy: a request must not be served twice.
    // A utility that may not run (DisconnectService::serve) leaves the rows for a later poll.
    bool poll(std::string firstSource);

    // The shutdown utility's command line when it has run for longer than `limit`, once for each
    // run of the utility; nothing otherwise.
    std::optional<std::string> overdueUtility(std::chrono::milliseconds limit);

    // Whether a record has not yet reported back.
    bool recordsPending() const { return !openRecords_.empty(); }
    // At the program's end: waits at most `limit` for the records not yet reported, without the
    // window's events. From then on no outcome reaches the window.
    RecordsAtEnd finishRecords(std::chrono::milliseconds limit);

private:
    // A record from its posting until the window has heard of it.
    struct RecordTicket {
        bool done = false;  // under recordsMutex_
        DbOutcome outcome;
    };

    void post(DbOutcome::Step step, std::function<void(DbOutcome&)> work);
    // One step's work on the database thread, its failure caught.
    DbOutcome runStep(DbOutcome::Step step, const std::function<void(DbOutcome&)>& work);
    // Sends an outcome to the window; `onWindow` runs there first.
    void report(DbOutcome outcome, std::function<void()> onWindow = {});

    std::atomic<bool> stopping_{false};
    ProcessRunner runner_;  // the shutdown utility's wait, given up when stopping_
    DbLink db_;
    BackupRecorder recorder_;
    DisconnectService disconnect_;
    PostToWindow toWindow_;
    std::function<void(const DbOutcome&)> onOutcome_;
    bool pollBusy_ = false;                                       // window thread only
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // window thread only
    std::vector<std::shared_ptr<RecordTicket>> openRecords_;      // window thread only
    struct RunningUtility {
        std::chrono::steady_clock::time_point started;
        std::string commandLine;
        bool told = false;
    };
    std::mutex utilityMutex_;
    std::optional<RunningUtility> utility_;  // under utilityMutex_
    std::mutex recordsMutex_;
    std::condition_variable recordDone_;
    SerialWorker worker_;  // after everything its jobs use
    SerialWorker waiter_;  // the shutdown utility's wait; ends before worker_, to which it posts
};

}  // namespace zel
