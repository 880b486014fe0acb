#include "qt/system_locale.h"

#include <QLocale>

namespace zel {
namespace {

// The first character of a pattern that is neither a letter nor a space: its separator.
std::string separatorOf(const QString& pattern, const char* fallback) {
    for (QChar c : pattern) {
        if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\'')) return QString(c).toStdString();
    }
    return fallback;
}

}  // namespace

LocaleFormats systemLocaleFormats() {
    const QLocale locale = QLocale::system();
    LocaleFormats f;
    f.shortDatePattern = locale.dateFormat(QLocale::ShortFormat).toStdString();
    f.dateSeparator = separatorOf(locale.dateFormat(QLocale::ShortFormat), "/");
    f.timeSeparator = separatorOf(locale.timeFormat(QLocale::ShortFormat), ":");
    return f;
}

}  // namespace zel
