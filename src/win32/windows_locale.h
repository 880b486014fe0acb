#pragma once

#include "platform/system/locale_formats.h"

namespace zel {

// The user's regional settings (the service's: LocalSystem's), read once.
LocaleFormats windowsLocaleFormats();

}  // namespace zel
