#include <time.h>

#include "platform/system/clock.h"

namespace zel {

std::int64_t realTimeMicros() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);  // not time(): that follows the coarse clock
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

LocalDateTime localDateTimeAt(std::int64_t micros) {
    time_t t = static_cast<time_t>(micros / 1000000);
    tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace zel
