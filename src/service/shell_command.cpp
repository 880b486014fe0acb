#include "service/shell_command.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace zel {

int doneExitCode(ClientRole role, const std::string& field) {
    if (role == ClientRole::Run) return field == "0" ? kShellOk : kShellNotRecorded;
    // A status says ok, warning or failure; anything else from a service is no answer.
    if (field == "0" || field == "1" || field == "2") return field[0] - '0';
    return kShellNoService;
}

int runShellCommand(ClientRole role, const std::string& version, const ChannelConnector& connect,
                    const ShellWriter& out, const ShellWriter& err, std::chrono::milliseconds statusLimit) {
    // The channel's thread queues what comes; this thread prints it.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> pieces;
    bool closed = false;

    ChannelClient::Events events;
    events.received = [&](std::string bytes) {
        std::lock_guard lock(mutex);
        pieces.push_back(std::move(bytes));
        changed.notify_one();
    };
    events.closed = [&](const std::string&) {
        std::lock_guard lock(mutex);
        closed = true;
        changed.notify_one();
    };
    std::string error;
    std::unique_ptr<ChannelClient> channel = connect(std::move(events), error);
    if (!channel) {
        if (error == kChannelRefused)
            err(std::string(kNotAllowed) + "\n");
        else
            err(std::string(kServiceNotRunning) + (error.empty() ? "" : ": " + error) + "\n");
        return kShellNoService;
    }
    channel->send(encodeMessage(helloMessage({version, role})));

    const auto deadline = std::chrono::steady_clock::now() + statusLimit;
    MessageReader reader;
    bool welcomed = role == ClientRole::Status;  // a status comes without a welcome
    std::unique_lock lock(mutex);
    for (;;) {
        const auto waiting = [&] { return !pieces.empty() || closed; };
        if (role == ClientRole::Status) {
            if (!changed.wait_until(lock, deadline, waiting)) break;
        } else {
            changed.wait(lock, waiting);
        }
        while (!pieces.empty()) {
            reader.feed(pieces.front());
            pieces.pop_front();
        }
        lock.unlock();
        while (const std::optional<Message> m = reader.next()) {
            if (isVerb(*m, verb::kLine, 1)) {
                out((*m)[1] + "\n");
            } else if (isVerb(*m, verb::kDone, 1)) {
                return doneExitCode(role, (*m)[1]);
            } else if (isVerb(*m, verb::kRefused)) {
                err(std::string(kNotAllowed) + "\n");
                return kShellNoService;
            } else if (isVerb(*m, verb::kVersion, 1)) {
                err(std::string(kOtherVersion) + (*m)[1] + "\n");
                return kShellNoService;
            } else if (isVerb(*m, verb::kWelcome)) {
                welcomed = true;
            }
        }
        lock.lock();
        if (closed && pieces.empty()) break;
    }
    lock.unlock();
    err(std::string(kServiceNotRunning) + "\n");
    // A run whose service went away was not recorded as far as anyone can tell.
    return role == ClientRole::Run && welcomed ? kShellNotRecorded : kShellNoService;
}

}  // namespace zel
