#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system/local_time.h"
#include "platform/system/locale_formats.h"

namespace zel {

inline constexpr std::size_t kHistoryLimit = 500;                  // characters
inline constexpr std::string_view kHistorySeparator = "\xC3\xB8";  // "ø"
inline constexpr std::string_view kHistoryQuery =
    " SELECT zelParameterValue FROM pub.zelParameter WHERE zelParameterID=1000 ";

// "dd/MM/YYYY HH:mm" with the locale's separators, "|", the computer's name.
std::string historyEntry(const LocalDateTime& now, const LocaleFormats& locale,
                         std::string_view computerName);

// The entry in front of the old history, cut after its 500th character.
std::string prependHistory(std::string_view entry, std::string_view oldValue);

// A text as it goes between single quotes in a statement: every single quote doubled.
std::string sqlQuoted(std::string_view text);

std::string historyInsertStatement(std::string_view entry);
std::string historyUpdateStatement(std::string_view newValue);

}  // namespace zel
