#include "db/database_thread.h"

#include <exception>

namespace zel {
namespace {

std::string describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace

DatabaseThread::DatabaseThread(Parts parts, PostToWindow toWindow,
                               std::function<void(const DbOutcome&)> onOutcome)
    : runner_(parts.processes, RunnerHooks{}),  // no window here to keep going while it waits
      db_(std::move(parts.connections)),
      recorder_(db_, parts.files, parts.clock, std::move(parts.locale), std::move(parts.computerName)),
      disconnect_(db_, runner_),
      toWindow_(std::move(toWindow)),
      onOutcome_(std::move(onOutcome)) {}

DatabaseThread::~DatabaseThread() {
    *alive_ = false;  // outcomes already on their way to the window find nobody there
}

void DatabaseThread::post(DbOutcome::Step step, std::function<void(DbOutcome&)> work) {
    worker_.post([this, step, work = std::move(work)] {
        DbOutcome outcome;
        outcome.step = step;
        try {
            work(outcome);
        } catch (...) {
            outcome.error = describe(std::current_exception());
        }
        outcome.connected = db_.state() != 0;
        toWindow_([this, alive = alive_, outcome = std::move(outcome)] {
            if (!*alive) return;
            if (outcome.step == DbOutcome::Step::Poll) pollBusy_ = false;
            if (onOutcome_) onOutcome_(outcome);
        });
    });
}

void DatabaseThread::startUp(std::string builtArchivePath) {
    post(DbOutcome::Step::StartUp, [this, path = std::move(builtArchivePath)](DbOutcome& outcome) {
        db_.openDSN();
        outcome.recorded = recorder_.updateBackupDate(path);
    });
}

void DatabaseThread::record(std::string builtArchivePath) {
    post(DbOutcome::Step::Record, [this, path = std::move(builtArchivePath)](DbOutcome& outcome) {
        outcome.recorded = recorder_.updateBackupDate(path);
    });
}

void DatabaseThread::checkFirst() {
    post(DbOutcome::Step::CheckFirst, [this](DbOutcome&) { disconnect_.checkFirst(); });
}

bool DatabaseThread::poll(std::string firstSource) {
    if (pollBusy_) return false;
    pollBusy_ = true;
    post(DbOutcome::Step::Poll, [this, source = std::move(firstSource)](DbOutcome& outcome) {
        outcome.served = disconnect_.serveRequests(source);
    });
    return true;
}

}  // namespace zel
