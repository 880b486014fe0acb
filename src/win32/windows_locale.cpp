#include "win32/windows_locale.h"

#include <windows.h>

#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

std::string localeText(LCTYPE what, const char* fallback) {
    wchar_t buf[80] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buf, 80) <= 0) return fallback;
    return narrow(buf);
}

}  // namespace

LocaleFormats windowsLocaleFormats() {
    LocaleFormats f;
    f.dateSeparator = localeText(LOCALE_SDATE, "/");
    f.timeSeparator = localeText(LOCALE_STIME, ":");
    f.shortDatePattern = localeText(LOCALE_SSHORTDATE, "dd.MM.yyyy");
    return f;
}

}  // namespace zel
