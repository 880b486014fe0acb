#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/db_link.h"
#include "engine/process_runner.h"
#include "platform/system/local_time.h"

namespace zel {

inline constexpr std::string_view kPollQuery = "select \"disconnectUser\" from \"pub\".\"zelDisconnect\" ";
inline constexpr std::string_view kServedDelete = "DELETE FROM \"pub\".\"zelDisconnect\" ";
inline constexpr std::string_view kStartupDelete = "DELETE FROM zelDisconnect";
inline constexpr std::string_view kShutdownToolPath = "c:\\progress\\openedge\\bin\\proshut.bat";
inline constexpr std::string_view kDatabaseTail = "brevund\\tarvel\\db\\dorvanel -C disconnect ";

// "Status Check " and the time as "HH:MM:SS" with the locale's separator.
std::string statusText(const LocalDateTime& now, std::string_view timeSeparator);

// The user number of a request when it is a whole number (surrounding spaces trimmed);
// nothing for a NULL, an empty or any other value, which never reaches a command line.
std::optional<std::string> requestedUser(const std::optional<std::string>& value);

// The shutdown utility's command line for a user, on the drive of the first source folder; nothing
// when that folder does not start with a drive ("c:\"), whose three characters would go into it.
std::optional<std::string> shutdownCommandLine(std::string_view firstSource, std::string_view user);

// Who besides the administrators may change a program (its folder text) or a folder above it;
// empty when nobody may. The service runs nothing such a user could have replaced.
using UntrustedWriters = std::function<std::string(const std::string& program)>;

inline constexpr std::string_view kUnsafeUtility = "Kapatma programı güvenli bir klasörde değil: ";

// Why the shutdown utility may not run for `firstSource`: a first source that is not on a drive,
// or (when `writers` is set) a utility that others may change. Empty when it may run.
std::string utilityRefusal(std::string_view firstSource, const UntrustedWriters& writers);

// A request that was served: the user, and how the shutdown utility ended; or, when `refused`
// says why, a request that ran nothing and stays in the table.
struct ServedRequest {
    std::string user;
    std::optional<int> exitCode;
    std::string refused;
};

// The first row of the request table: its user number, or nothing for a value that may not
// reach a command line (the rows are deleted all the same).
struct PendingRequest {
    std::optional<std::string> user;
};

// Serves the "disconnect this user" requests that other clients leave in zelDisconnect. A poll
// is three steps: read the table, run the shutdown utility, delete the rows. The first and the
// last use the connection; the utility may run for a very long time and uses none of it.
class DisconnectService {
public:
    DisconnectService(DbLink& db, const ProcessRunner& runner, UntrustedWriters writers = {})
        : db_(db), runner_(runner), writers_(std::move(writers)) {}

    // At start-up: requests left from before are thrown away unserved.
    void checkFirst();
    // The poll's query. Nothing when the table is empty or out of reach: then nothing is served
    // and nothing deleted.
    std::optional<PendingRequest> readRequest();
    // Disconnects the request's user on the drive of `firstSource`, waiting as long as the
    // utility runs; tells whose disconnect was run, if anybody's, or why it was refused.
    std::optional<ServedRequest> serve(const PendingRequest& request, std::string_view firstSource) const;
    // Every request goes, the served one and any others.
    void deleteRequests();

private:
    DbLink& db_;
    const ProcessRunner& runner_;
    UntrustedWriters writers_;
};

}  // namespace zel
