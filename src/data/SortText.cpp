#include "data/SortText.h"

#include "data/DataErrors.h"

namespace {

[[noreturn]] void Invalid(const QString& text)
{
    throw DataError(QStringLiteral("Invalid sort text: %1").arg(text));
}

void SkipBlanks(const QString& text, qsizetype& i)
{
    while (i < text.size() && text[i].isSpace())
        ++i;
}

} // namespace

QList<SortKey> ParseSortText(const QString& text)
{
    QList<SortKey> keys;
    qsizetype i = 0;
    SkipBlanks(text, i);
    if (i == text.size())
        return keys;
    while (true) {
        SkipBlanks(text, i);
        SortKey key;
        if (i < text.size() && text[i] == u'[') {
            const qsizetype close = text.indexOf(u']', i + 1);
            if (close < 0)
                Invalid(text);
            key.field = text.mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const qsizetype start = i;
            while (i < text.size() && !text[i].isSpace() && text[i] != u',')
                ++i;
            key.field = text.mid(start, i - start);
        }
        if (key.field.trimmed().isEmpty())
            Invalid(text);
        SkipBlanks(text, i);
        const qsizetype wordStart = i;
        while (i < text.size() && text[i].isLetter())
            ++i;
        const QString word = text.mid(wordStart, i - wordStart);
        if (word.compare(QStringLiteral("DESC"), Qt::CaseInsensitive) == 0)
            key.descending = true;
        else if (!word.isEmpty() && word.compare(QStringLiteral("ASC"), Qt::CaseInsensitive) != 0)
            Invalid(text);
        keys.append(key);
        SkipBlanks(text, i);
        if (i == text.size())
            return keys;
        if (text[i] != u',')
            Invalid(text);
        ++i;
    }
}
