#pragma once

#include "platform/system/locale_formats.h"

namespace zel {

// The date and time separators and the short-date pattern of the user's regional settings.
LocaleFormats systemLocaleFormats();

}  // namespace zel
