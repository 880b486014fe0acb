#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/schedule.h"
#include "platform/files/file_system.h"
#include "platform/system/clock.h"
#include "remote/copier.h"
#include "settings/remote_settings.h"
#include "window/daily_notices.h"

namespace zel {

// Makes the place the settings name; nullptr, with why, when it cannot be made.
using PlaceMaker = std::function<std::shared_ptr<SecondPlace>(const RemoteSettings& settings, std::string& failure)>;

// What the second place's copies work with.
struct SecondCopyParts {
    FileSystem& files;
    const Clock& clock;
    PlaceMaker makePlace;
    // Hands a call from the copier's thread to the machine's thread.
    std::function<void(std::function<void()>)> post;
    // On the machine's thread: a line of the run log, and a warning.
    std::function<void(const std::string&)> log;
    std::function<void(const std::string&)> warn;
};

// Looks at what is owed there while something is.
inline constexpr std::int64_t kCopyPassSeconds = 600;
// No copy proven there for the longest slot gap and this long is an alarm.
inline constexpr std::int64_t kCopyOverdueGraceSeconds = 6 * 3600;

// The machine's side of the second place: when the copier makes a pass, what the run log, the
// warnings and a status query hear of it.
class SecondCopy {
public:
    explicit SecondCopy(SecondCopyParts parts);
    ~SecondCopy();

    // A new place from now on: the settings as loaded or saved. A place that cannot be made is
    // logged once a day.
    void setSettings(const RemoteSettings& settings);
    const RemoteSettings& settings() const { return settings_; }
    bool on() const { return place_ != nullptr; }

    // A pass over everything owed, also what waits for its retry: at the start and after each run.
    void passNow(CopyRequest request);
    void runStarted(const LocalDateTime& now);
    void runEnded(CopyRequest request);
    // Each clock tick: a pass when one is due.
    void tick(const std::function<CopyRequest()>& request);

    // "Deneme" with the dialog's values; `answer` comes on the machine's thread.
    void trial(const RemoteSettings& settings, std::function<void(const std::string&)> answer);

    // Per pair, the last copy proven there this run of the program.
    std::vector<std::string> provenLines() const;
    // "Uzak kopya <n> saattir alınamadı" while the oldest archive still owed is older than the
    // longest slot gap plus kCopyOverdueGraceSeconds.
    std::optional<std::string> overdue(const std::array<ScheduleSlot, 3>& slots) const;
    // Looks at the alarm: warned about once a day while it holds.
    void checkOverdue(const std::array<ScheduleSlot, 3>& slots);

private:
    void reported(CopyReport report);

    SecondCopyParts parts_;
    RemoteSettings settings_;
    std::shared_ptr<SecondPlace> place_;
    std::array<std::string, 4> proven_;
    std::optional<std::string> oldestOwed_;
    std::optional<std::int64_t> nextPass_;  // wall second of the next pass; nothing: none due
    DailyNotices notices_;
    bool failing_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<std::thread> trial_;  // "Deneme", one at a time
    std::shared_ptr<std::atomic<bool>> trialDone_;
    std::unique_ptr<RemoteCopier> copier_;  // last: its thread reports into what is above
};

// Lines of "Deneme" as the dialog shows them: "Yazma: tamam", "Okuma: <why>".
std::string trialText(const std::vector<TrialStep>& steps);

}  // namespace zel
