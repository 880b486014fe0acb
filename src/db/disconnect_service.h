#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/db_link.h"
#include "engine/process_runner.h"
#include "platform/clock.h"
#include "platform/locale_formats.h"

namespace zel {

inline constexpr std::string_view kPollQuery = "select \"disconnectUser\" from \"pub\".\"zelDisconnect\" ";
inline constexpr std::string_view kServedDelete = "DELETE FROM \"pub\".\"zelDisconnect\" ";
inline constexpr std::string_view kStartupDelete = "DELETE FROM zelDisconnect";
inline constexpr std::string_view kShutdownTool = "c:\\progress\\openedge\\bin\\proshut.bat ";
inline constexpr std::string_view kDatabaseTail = "brevund\\tarvel\\db\\dorvanel -C disconnect ";

// "Status Check " and the time as "HH:MM:SS" with the locale's separator.
std::string statusText(const LocalDateTime& now, std::string_view timeSeparator);

// The user number of a request when it is a whole number (surrounding spaces trimmed);
// nothing for a NULL, an empty or any other value, which never reaches a command line.
std::optional<std::string> requestedUser(const std::optional<std::string>& value);

// The shutdown utility's command line for a user, on the drive of the first source folder.
std::string shutdownCommandLine(std::string_view firstSource, std::string_view user);

// Serves the "disconnect this user" requests that other clients leave in zelDisconnect.
class DisconnectService {
public:
    struct Window {
        std::function<void(const std::string&)> setStatus;  // lblInfo
        std::function<std::string()> firstSource;           // txtKaynak[0]
    };

    DisconnectService(DbLink& db, const ProcessRunner& runner, const Clock& clock, LocaleFormats locale,
                      Window window)
        : db_(db), runner_(runner), clock_(clock), locale_(std::move(locale)), window_(std::move(window)) {}

    // At start-up: requests left from before are thrown away unserved.
    void checkFirst();
    // One poll: the first request's user is disconnected, then every request is deleted.
    void checkDisconnect();
    // True while a poll waits for the shutdown utility; a poll due then is skipped.
    bool busy() const { return busy_; }

private:
    DbLink& db_;
    const ProcessRunner& runner_;
    const Clock& clock_;
    LocaleFormats locale_;
    Window window_;
    bool busy_ = false;
};

}  // namespace zel
