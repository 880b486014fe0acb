#include "engine/schedule.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "engine/date_text.h"

namespace zel {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t secondOfDay(const TimeOfDay& t) {
    return t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace

int switchValueAfterClick(int value) {
    return value == 0 ? 1 : 0;
}

std::string clockText(const LocalDateTime& now, std::string_view timeSeparator) {
    return timeOfDayText(now.hour, now.minute, now.second, timeSeparator);
}

std::int64_t wallSecond(const LocalDateTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + secondOfDay({t.hour, t.minute, t.second});
}

SecondSpan secondsToExamine(std::optional<std::int64_t> latestSeen, std::int64_t current) {
    if (!latestSeen) return {current, current};
    const std::int64_t step = current - *latestSeen;
    if (step > kCatchUpSeconds || step < -kCatchUpSeconds) return {current, current};
    if (step <= 0) return {};  // an early tick, or the clock put back a little: seen already
    return {*latestSeen + 1, current};
}

int firstDueSlot(const SecondSpan& span, const std::array<ScheduleSlot, 3>& slots) {
    if (span.first > span.last) return -1;
    const std::int64_t length = span.last - span.first + 1;
    const std::int64_t firstOfDay = ((span.first % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    for (int k = 0; k < 3; ++k) {
        const ScheduleSlot& slot = slots[static_cast<std::size_t>(k)];
        if (slot.switchValue == 0) continue;
        // How far into the span the slot's second of the day comes, counting across midnight.
        const std::int64_t offset =
            ((secondOfDay(slot.time) - firstOfDay) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
        if (offset < length) return k;
    }
    return -1;
}

int SlotWatch::tick(const LocalDateTime& now, const std::array<ScheduleSlot, 3>& slots) {
    const std::int64_t current = wallSecond(now);
    SecondSpan span = secondsToExamine(latestSeen_, current);
    leapt_ = {};
    // The start-up's look-back reaches a little past a minute by the time the first tick comes.
    if (std::exchange(lookingBack_, false)) {
        if (latestSeen_ && current > *latestSeen_ && current - *latestSeen_ <= 2 * kCatchUpSeconds)
            span = {*latestSeen_ + 1, current};
    } else if (latestSeen_ && current - *latestSeen_ > kCatchUpSeconds) {
        leapt_ = {*latestSeen_ + 1, current - 1};
    }
    // After a small step back the seconds up to the latest one seen stay seen.
    if (!latestSeen_ || current > *latestSeen_ || *latestSeen_ - current > kCatchUpSeconds)
        latestSeen_ = current;
    return firstDueSlot(span, slots);
}

void SlotWatch::lookBackFrom(std::int64_t second) {
    latestSeen_ = second - 1;
    lookingBack_ = true;
}

std::int64_t startUpLookBack(const LocalDateTime& now, const std::optional<LocalDateTime>& newestArchive) {
    std::int64_t from = wallSecond(now) - kCatchUpSeconds;
    // An archive's name gives only its minute: the run it stands for may have ended in any second of it.
    if (newestArchive) from = std::max(from, wallSecond(*newestArchive) + 60);
    // Never past the start itself: what is left of the archive's minute is still to come.
    return std::min(from, wallSecond(now));
}

int msToNextSecondTick(std::int64_t nowMicros, std::int64_t clockStepMicros) {
    constexpr std::int64_t kMarginMicros = 2000;  // past the clock's own step, for rounding
    const std::int64_t intoSecond = ((nowMicros % 1000000) + 1000000) % 1000000;
    const std::int64_t delay = 1000000 - intoSecond + clockStepMicros + kMarginMicros;
    return static_cast<int>((delay + 999) / 1000);
}

std::optional<TimeOfDay> missedSlot(const std::array<ScheduleSlot, 3>& slots, const LocalDateTime& now,
                                    const LocalDateTime& newestArchive) {
    constexpr std::int64_t kDay = 24 * 60 * 60;
    const std::int64_t nowSecond = wallSecond(now), archiveSecond = wallSecond(newestArchive);
    std::optional<TimeOfDay> missed;
    std::int64_t missedSecond = 0;
    for (const ScheduleSlot& slot : slots) {
        if (slot.switchValue == 0) continue;
        std::int64_t due =
            wallSecond({now.year, now.month, now.day, slot.time.hour, slot.time.minute, slot.time.second});
        if (due > nowSecond) due -= kDay;
        // An archive's name gives only its minute: it stands for a run anywhere in that minute.
        // A slot due within the last minute may still be running in this very start.
        if (due > archiveSecond + 59 && nowSecond - due > 60 && (!missed || due > missedSecond)) {
            missed = slot.time;
            missedSecond = due;
        }
    }
    return missed;
}

std::optional<std::int64_t> overdueAfterSeconds(const std::array<ScheduleSlot, 3>& slots) {
    std::vector<std::int64_t> times;
    for (const ScheduleSlot& slot : slots)
        if (slot.switchValue != 0) times.push_back(slot.time.hour * 3600 + slot.time.minute * 60 + slot.time.second);
    if (times.empty()) return std::nullopt;
    std::sort(times.begin(), times.end());
    std::int64_t longest = times.front() + kSecondsPerDay - times.back();  // from the last of one day to the first of the next
    for (std::size_t i = 1; i < times.size(); ++i) longest = std::max(longest, times[i] - times[i - 1]);
    return longest + kOverdueGraceSeconds;
}

std::optional<Overdue> overdueBackup(const std::array<ScheduleSlot, 3>& slots,
                                     const std::optional<LocalDateTime>& newestArchive,
                                     const LocalDateTime& watchingSince, const LocalDateTime& now) {
    const std::optional<std::int64_t> after = overdueAfterSeconds(slots);
    if (!after) return std::nullopt;
    const std::int64_t since = wallSecond(newestArchive ? *newestArchive : watchingSince);
    const std::int64_t age = wallSecond(now) - since;
    if (age <= *after) return std::nullopt;
    return Overdue{static_cast<int>(age / 3600), newestArchive.has_value()};
}

std::string overdueText(const Overdue& overdue) {
    return overdue.anyArchive ? "Son başarılı yedek " + std::to_string(overdue.hours) + " saat önce alındı"
                              : "Başarılı yedek yok: " + std::to_string(overdue.hours) + " saattir";
}

std::string missedSlotText(const TimeOfDay& slot, const std::optional<LocalDateTime>& newestArchive) {
    char text[96];
    const int n = std::snprintf(text, sizeof text, "Kaçırılan yedekleme: %02d:%02d:%02d", slot.hour, slot.minute,
                                slot.second);
    if (newestArchive)
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), " (son yedek %04d-%02d-%02d %02d:%02d)",
                      newestArchive->year, newestArchive->month, newestArchive->day, newestArchive->hour,
                      newestArchive->minute);
    return text;
}

}  // namespace zel

namespace zel {

std::optional<NextSlot> nextSlot(const std::array<ScheduleSlot, 3>& slots, const LocalDateTime& now) {
    const int nowSecond = now.hour * 3600 + now.minute * 60 + now.second;
    std::optional<NextSlot> next;
    int best = 0;
    for (const ScheduleSlot& slot : slots) {
        if (slot.switchValue == 0) continue;
        const int at = slot.time.hour * 3600 + slot.time.minute * 60 + slot.time.second;
        const int wait = at > nowSecond ? at - nowSecond : at - nowSecond + 86400;
        if (!next || wait < best) {
            next = NextSlot{slot.time, at <= nowSecond};
            best = wait;
        }
    }
    return next;
}

}  // namespace zel
