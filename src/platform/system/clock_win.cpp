#include <windows.h>

#include "platform/system/clock.h"
#include "platform/system/system_function_win.h"

namespace zel {
namespace {

constexpr std::int64_t kEpochIn100ns = 116444736000000000LL;  // 1970-01-01 in FILETIME units

}  // namespace

std::int64_t realTimeMicros() {
    // GetLocalTime follows the 15.6 ms system tick. Windows 7 has no finer clock: there the clock
    // timer waits that measured step longer past each second boundary.
    static const auto precise =
        systemFunction<void(WINAPI*)(LPFILETIME)>(L"kernel32.dll", "GetSystemTimePreciseAsFileTime");
    FILETIME ft;
    if (precise)
        precise(&ft);
    else
        GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return (static_cast<std::int64_t>(v.QuadPart) - kEpochIn100ns) / 10;
}

LocalDateTime localDateTimeAt(std::int64_t micros) {
    ULARGE_INTEGER v;
    v.QuadPart = static_cast<ULONGLONG>(micros * 10 + kEpochIn100ns);
    FILETIME ft{v.LowPart, v.HighPart};
    SYSTEMTIME utc, local;
    FileTimeToSystemTime(&ft, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace zel
