#include "platform/clock.h"

#include <windows.h>

namespace zel {

LocalDateTime SystemClock::now() const {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace zel
