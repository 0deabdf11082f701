#include "data/view/SortText.h"

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

// Reads the name after an opening bracket up to its closing one; returns the position after it.
qsizetype ReadBracketedName(const QString& text, qsizetype i, QString& name)
{
    while (true) {
        const qsizetype close = text.indexOf(u']', i);
        if (close < 0)
            Invalid(text);
        name += QStringView(text).sliced(i, close - i);
        if (close + 1 < text.size() && text[close + 1] == u']') {
            name += u']';
            i = close + 2;
            continue;
        }
        return close + 1;
    }
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
            i = ReadBracketedName(text, i + 1, key.field);
        } else {
            const qsizetype start = i;
            while (i < text.size() && !text[i].isSpace() && text[i] != u',')
                ++i;
            key.field = text.mid(start, i - start);
            if (key.field.isEmpty())
                Invalid(text);
        }
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

QString RenderSortText(const QList<SortKey>& keys)
{
    QString text;
    for (const SortKey& key : keys) {
        if (!text.isEmpty())
            text += QStringLiteral(" ,");
        text += u'[' + QString(key.field).replace(QStringLiteral("]"), QStringLiteral("]]")) + u']';
        if (key.descending)
            text += QStringLiteral(" DESC");
    }
    return text;
}
