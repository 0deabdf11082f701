#include "platform/spreadsheet/DateSeparator.h"

#include <QLocale>

QChar DateSeparator()
{
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    for (const QChar c : format) {
        if (!c.isLetter() && c != u'\'' && !c.isSpace())
            return c;
    }
    return u'/';
}

QString DateTimeFormatCode()
{
    // The separator is quoted: unquoted, each reader would put its own locale's in its place.
    const QString separator = QStringLiteral("\\") + DateSeparator();
    return QStringLiteral("DD") + separator + QStringLiteral("MM") + separator + QStringLiteral("YYYY HH:MM:SS");
}
