#include "db/history.h"

#include "engine/date_text.h"
#include "text/utf8.h"

namespace zel {
std::string historyEntry(const LocalDateTime& now, const LocaleFormats& locale,
                         std::string_view computerName) {
    return twoDigits(now.day) + locale.dateSeparator + twoDigits(now.month) + locale.dateSeparator +
           std::to_string(now.year) + " " + twoDigits(now.hour) + locale.timeSeparator +
           twoDigits(now.minute) + "|" + std::string(computerName);
}

std::string prependHistory(std::string_view entry, std::string_view oldValue) {
    std::string value = std::string(entry) + std::string(kHistorySeparator) + std::string(oldValue);
    return utf8Prefix(value, kHistoryLimit);
}

std::string sqlQuoted(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

std::string historyInsertStatement(std::string_view entry) {
    return " INSERT INTO pub.zelParameter VALUES (1000,'','" + sqlQuoted(entry) + "', 'Last Backup Time')";
}

std::string historyUpdateStatement(std::string_view newValue) {
    return " UPDATE pub.zelParameter SET zelParameterValue='" + sqlQuoted(newValue) +
           "' WHERE zelParameterID=1000 ";
}

}  // namespace zel
