#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zel {

// One running copy per program folder on the whole machine, whoever started it and in whatever
// session: the previous-instance query of start-up, and the way a copy that gives way asks the
// running one to show its window.
class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // True when no other copy runs: this copy is then the one, and for its whole life hears the
    // requests of later copies through `onShowRequest` (called on the window's thread). A copy
    // that died without ending (killed, a power cut) never counts as running.
    virtual bool claim(std::function<void()> onShowRequest) = 0;
    // From a copy that gives way: asks the running one to show its window. Gives up quietly
    // after a moment when nobody answers, or at once when the running copy is out of reach
    // (another user's or another session's).
    virtual void askRunningCopyToShow() = 0;
};

// The name under which the copies of one program folder (its canonical path; the settings file's
// folder) find each other: "zelyedek-" and 16 hex digits.
std::string instanceKey(std::string_view canonicalProgramFolder);

// What a later copy sends, and the running copy accepts, as the request to show the window.
inline constexpr std::string_view kShowRequest = "show\n";

}  // namespace zel
