#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system/local_time.h"

namespace zel {

// One schedule slot as the window holds it: the switch's value (nonzero is on) and its time.
struct ScheduleSlot {
    int switchValue = 0;
    TimeOfDay time;
};

// A switch's value after the user clicks it: off and on alternate; the grey state, which only
// the settings file or the program sets, goes off as a Windows three-state box does.
int switchValueAfterClick(int value);

// The clock label: the local time as "HH:MM:SS" with the locale's time separator.
std::string clockText(const LocalDateTime& now, std::string_view timeSeparator);

// A second of the local wall clock as one number (days since 1970 times 86400 plus the second of
// the day), so that a span of seconds can cross midnight.
std::int64_t wallSecond(const LocalDateTime& t);

// The seconds [first, last] of the wall clock that one tick examines for due slots; empty when
// first > last.
struct SecondSpan {
    std::int64_t first = 0;
    std::int64_t last = -1;
};

// Every second after the latest second seen up to the current one, so that a late tick loses no
// slot. Only the current second at the first tick and after a jump of more than kCatchUpSeconds
// either way (sleep, a manual change, the clocks going forward or back an hour). Nothing for
// the same second again, nor after a small step back: those seconds were examined already.
inline constexpr std::int64_t kCatchUpSeconds = 60;
SecondSpan secondsToExamine(std::optional<std::int64_t> latestSeen, std::int64_t current);

// The first slot (0..2) whose switch is on and whose time of day falls on a second of the span;
// -1 when none. Seconds count: 12:00:30 is due only in that second.
int firstDueSlot(const SecondSpan& span, const std::array<ScheduleSlot, 3>& slots);

// Remembers the second of the previous tick and tells, at each tick, which slot is due.
class SlotWatch {
public:
    // Every tick must come here, also during a run, so that seconds seen then are never
    // examined again.
    int tick(const LocalDateTime& now, const std::array<ScheduleSlot, 3>& slots);
    // At start-up: the first tick looks back to `second` too (a minute at most), so that a slot
    // that came due while the program was starting is run as a running program would have.
    void lookBackFrom(std::int64_t second);
    // The seconds the latest tick leapt over, forward by more than kCatchUpSeconds (the program
    // stalled or slept, the clock was put forward): slots there did not run and are told.
    SecondSpan leapt() const { return leapt_; }

private:
    std::optional<std::int64_t> latestSeen_;
    bool lookingBack_ = false;
    SecondSpan leapt_;
};

// Where a program starting at `now` looks back to: the minute before it, but not to the minute of
// the newest archive (when there is one), whose run is done.
std::int64_t startUpLookBack(const LocalDateTime& now, const std::optional<LocalDateTime>& newestArchive);

// A backup the program missed: the latest time an enabled slot came due (today, or yesterday for
// a time still ahead today) after the newest archive and more than a minute before `now`.
std::optional<TimeOfDay> missedSlot(const std::array<ScheduleSlot, 3>& slots, const LocalDateTime& now,
                                    const LocalDateTime& newestArchive);

// "Kaçırılan yedekleme: 05:00:00 (son yedek 2024-03-04 09:07)"; without an archive, the time alone.
std::string missedSlotText(const TimeOfDay& slot, const std::optional<LocalDateTime>& newestArchive);

// The longest wait between two enabled slots, round the clock (a day for one slot or several at
// one time), plus two hours: no verified archive for that long means that backups have stopped
// (slots that no longer fire, a service that did not run, a target that fails every night).
// Nothing while no slot is enabled.
inline constexpr std::int64_t kOverdueGraceSeconds = 2 * 3600;
std::optional<std::int64_t> overdueAfterSeconds(const std::array<ScheduleSlot, 3>& slots);

// The whole hours since the newest verified archive, or, with none at all, since `watchingSince`
// (the program's start), once they exceed overdueAfterSeconds; nothing before that.
struct Overdue {
    int hours = 0;
    bool anyArchive = true;
};
std::optional<Overdue> overdueBackup(const std::array<ScheduleSlot, 3>& slots,
                                     const std::optional<LocalDateTime>& newestArchive,
                                     const LocalDateTime& watchingSince, const LocalDateTime& now);
// "Son başarılı yedek 27 saat önce alındı"; with no archive, "Başarılı yedek yok: 27 saattir".
std::string overdueText(const Overdue& overdue);

// Milliseconds from `nowMicros` until the clock tick for the next second is due: just past the
// boundary, by a margin that covers the clock's granularity, so the tick reads the new second.
int msToNextSecondTick(std::int64_t nowMicros, std::int64_t clockStepMicros);

}  // namespace zel

namespace zel {

// The next time an enabled slot comes due after `now`: later today, or tomorrow.
struct NextSlot {
    TimeOfDay time;
    bool tomorrow = false;
};
std::optional<NextSlot> nextSlot(const std::array<ScheduleSlot, 3>& slots, const LocalDateTime& now);

}  // namespace zel
