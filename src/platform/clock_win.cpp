#include <windows.h>

#include "platform/clock.h"

namespace zel {
namespace {

constexpr std::int64_t kEpochIn100ns = 116444736000000000LL;  // 1970-01-01 in FILETIME units

}  // namespace

std::int64_t realTimeMicros() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);  // GetLocalTime follows the 15.6 ms system tick
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
