#include "db/disconnect_service.h"

#include "engine/backup_rules.h"
#include "engine/date_text.h"
#include "engine/folder_text.h"

namespace zel {

std::string statusText(const LocalDateTime& now, std::string_view timeSeparator) {
    return "Status Check " + timeOfDayText(now.hour, now.minute, now.second, timeSeparator);
}

std::optional<std::string> requestedUser(const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    std::string_view v = *value;
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    if (v.empty()) return std::nullopt;
    for (char c : v)
        if (c < '0' || c > '9') return std::nullopt;
    return std::string(v);
}

std::optional<std::string> shutdownCommandLine(std::string_view firstSource, std::string_view user) {
    const std::string prefix = toolPrefix(firstSource);
    if (!isDriveRoot(prefix)) return std::nullopt;
    return std::string(kShutdownToolPath) + " " + prefix + std::string(kDatabaseTail) + std::string(user);
}

std::string utilityRefusal(std::string_view firstSource, const UntrustedWriters& writers) {
    if (!isDriveRoot(toolPrefix(firstSource))) return std::string(kPrefixNotADrive) + std::string(firstSource);
    if (!writers) return {};
    const std::string who = writers(std::string(kShutdownToolPath));
    if (who.empty()) return {};
    return std::string(kUnsafeUtility) + std::string(kShutdownToolPath) + " (" + who + ")";
}

void DisconnectService::checkFirst() {
    try {
        if (db_.state() == 0) db_.reopenQuietly();
    } catch (...) {
    }
    try {
        db_.execute(std::string(kStartupDelete));
    } catch (...) {
    }
}

std::optional<PendingRequest> DisconnectService::readRequest() {
    try {
        if (db_.state() == 0) db_.reopenQuietly();
    } catch (...) {
    }
    std::optional<QueryResult> requests;
    try {
        // A connection lost since the last poll is opened again in this poll, not the next.
        requests = db_.executeReopening(std::string(kPollQuery));
    } catch (...) {
    }
    if (!requests || requests->eof) return std::nullopt;  // unreachable, or nothing asked
    return PendingRequest{requestedUser(requests->firstField)};
}

std::optional<ServedRequest> DisconnectService::serve(const PendingRequest& request,
                                                      std::string_view firstSource) const {
    if (!request.user) return std::nullopt;
    ServedRequest served{*request.user, std::nullopt, {}};
    try {
        served.refused = utilityRefusal(firstSource, writers_);
    } catch (...) {
        served.refused = std::string(kUnsafeUtility) + std::string(kShutdownToolPath) + " (denetlenemedi)";
    }
    if (!served.refused.empty()) return served;
    try {
        if (const std::optional<std::string> line = shutdownCommandLine(firstSource, served.user))
            served.exitCode = runner_.run(*line, 999999999, 0, 0).exitCode;
    } catch (...) {
    }
    return served;
}

void DisconnectService::deleteRequests() {
    try {
        db_.executeReopening(std::string(kServedDelete));
    } catch (...) {
    }
}

}  // namespace zel
