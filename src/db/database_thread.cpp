#include "db/database_thread.h"

#include <algorithm>
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

struct WaitGivenUp {};

}  // namespace

DatabaseThread::DatabaseThread(Parts parts, PostToWindow toWindow,
                               std::function<void(const DbOutcome&)> onOutcome)
    // No window here to keep going while the utility runs; only the end stops the wait.
    : runner_(parts.processes, RunnerHooks{[this] {
                                               if (stopping_) throw WaitGivenUp{};
                                           },
                                           {},
                                           {}}),
      db_(std::move(parts.connections)),
      recorder_(db_, parts.files, parts.clock, std::move(parts.locale), std::move(parts.computerName)),
      disconnect_(db_, runner_, std::move(parts.untrustedWriters)),
      toWindow_(std::move(toWindow)),
      onOutcome_(std::move(onOutcome)) {}

DatabaseThread::~DatabaseThread() {
    *alive_ = false;  // outcomes already on their way to the window find nobody there
    stopping_ = true;
}

DbOutcome DatabaseThread::runStep(DbOutcome::Step step, const std::function<void(DbOutcome&)>& work) {
    DbOutcome outcome;
    outcome.step = step;
    try {
        work(outcome);
    } catch (...) {
        outcome.error = describe(std::current_exception());
    }
    outcome.connected = db_.state() != 0;
    return outcome;
}

void DatabaseThread::report(DbOutcome outcome, std::function<void()> onWindow) {
    toWindow_([this, alive = alive_, outcome = std::move(outcome), onWindow = std::move(onWindow)] {
        if (!*alive) return;
        if (onWindow) onWindow();
        if (onOutcome_) onOutcome_(outcome);
    });
}

void DatabaseThread::post(DbOutcome::Step step, std::function<void(DbOutcome&)> work) {
    worker_.post([this, step, work = std::move(work)] { report(runStep(step, work)); });
}

void DatabaseThread::startUp(std::string builtArchivePath) {
    post(DbOutcome::Step::StartUp, [this, path = std::move(builtArchivePath)](DbOutcome& outcome) {
        db_.openDSN();
        outcome.recorded = recorder_.updateBackupDate(path);
    });
}

void DatabaseThread::record(std::string builtArchivePath) {
    auto ticket = std::make_shared<RecordTicket>();
    openRecords_.push_back(ticket);
    worker_.post(
        [this, ticket, path = std::move(builtArchivePath), posted = std::chrono::steady_clock::now()] {
            const auto started = std::chrono::steady_clock::now();
            DbOutcome outcome = runStep(DbOutcome::Step::Record,
                                        [&](DbOutcome& o) { o.recorded = recorder_.updateBackupDate(path); });
            outcome.waited = std::chrono::duration_cast<std::chrono::milliseconds>(started - posted);
            {
                // Kept for the program's end too, which does not wait for the window's events.
                std::lock_guard lock(recordsMutex_);
                ticket->done = true;
                ticket->outcome = outcome;
            }
            recordDone_.notify_all();
            report(std::move(outcome), [this, ticket] { std::erase(openRecords_, ticket); });
        });
}

void DatabaseThread::checkFirst() {
    post(DbOutcome::Step::CheckFirst, [this](DbOutcome&) { disconnect_.checkFirst(); });
}

bool DatabaseThread::poll(std::string firstSource) {
    if (pollBusy_) return false;
    pollBusy_ = true;
    auto pollDone = [this] { pollBusy_ = false; };
    worker_.post([this, source = std::move(firstSource), pollDone] {
        std::optional<PendingRequest> request;
        DbOutcome outcome =
            runStep(DbOutcome::Step::Poll, [&](DbOutcome&) { request = disconnect_.readRequest(); });
        if (!request) return report(std::move(outcome), pollDone);
        // The utility may run for minutes: it is waited for on a thread of its own, so that the
        // database thread goes on with records meanwhile. The rows go once it has ended.
        waiter_.post([this, request = *request, source, pollDone] {
            if (const std::optional<std::string> line =
                    request.user ? shutdownCommandLine(source, *request.user) : std::nullopt) {
                std::lock_guard lock(utilityMutex_);
                utility_ = RunningUtility{std::chrono::steady_clock::now(), *line};
            }
            std::optional<ServedRequest> served = disconnect_.serve(request, source);
            {
                std::lock_guard lock(utilityMutex_);
                utility_.reset();
            }
            if (stopping_) return;  // the wait was given up: the request may not have been served
            worker_.post([this, served, pollDone] {
                DbOutcome outcome = runStep(DbOutcome::Step::Poll, [&](DbOutcome&) {
                    // A utility that was refused ran nothing: the rows wait until it may run.
                    if (!served || served->refused.empty()) disconnect_.deleteRequests();
                });
                outcome.served = served;
                report(std::move(outcome), pollDone);
            });
        });
    });
    return true;
}

std::optional<std::string> DatabaseThread::overdueUtility(std::chrono::milliseconds limit) {
    std::lock_guard lock(utilityMutex_);
    if (!utility_ || utility_->told || std::chrono::steady_clock::now() - utility_->started < limit)
        return {};
    utility_->told = true;
    return utility_->commandLine;
}

RecordsAtEnd DatabaseThread::finishRecords(std::chrono::milliseconds limit) {
    RecordsAtEnd end;
    {
        std::unique_lock lock(recordsMutex_);
        recordDone_.wait_for(lock, limit, [this] {
            return std::all_of(openRecords_.begin(), openRecords_.end(),
                               [](const auto& t) { return t->done; });
        });
        for (const auto& ticket : openRecords_) {
            if (ticket->done)
                end.finished.push_back(ticket->outcome);
            else
                ++end.unfinished;
        }
    }
    openRecords_.clear();
    *alive_ = false;
    return end;
}

}  // namespace zel
