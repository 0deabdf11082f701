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
