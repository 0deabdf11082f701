#include "data/view/FilterExpression.h"

#include "data/DataErrors.h"

namespace {

[[noreturn]] void Invalid(const QString& text, const QString& why)
{
    throw DataError(QStringLiteral("Invalid filter expression (%1): %2").arg(why, text));
}

void SkipBlanks(const QString& text, qsizetype& i)
{
    while (i < text.size() && text[i].isSpace())
        ++i;
}

// The joiner that follows a bare literal: " AND [" or " OR [", as the filter dialog writes it.
qsizetype NextJoiner(const QString& text, qsizetype from)
{
    qsizetype best = -1;
    for (const QString& joiner : {QStringLiteral(" AND ["), QStringLiteral(" OR [")}) {
        const qsizetype at = text.indexOf(joiner, from, Qt::CaseInsensitive);
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    return best;
}

CompareOp ReadOperator(const QString& text, qsizetype& i)
{
    const QStringView rest = QStringView(text).mid(i);
    static const std::pair<const char16_t*, CompareOp> operators[] = {
        {u"<>", CompareOp::NotEqual}, {u">=", CompareOp::GreaterEqual}, {u"<=", CompareOp::LessEqual},
        {u"=", CompareOp::Equal},     {u">", CompareOp::Greater},       {u"<", CompareOp::Less},
    };
    for (const auto& [symbol, op] : operators) {
        const QStringView s(symbol);
        if (rest.startsWith(s)) {
            i += s.size();
            return op;
        }
    }
    Invalid(text, QStringLiteral("an operator is missing"));
}

FilterCondition ReadCondition(const QString& text, qsizetype& i)
{
    FilterCondition condition;
    SkipBlanks(text, i);
    if (i >= text.size() || text[i] != u'[')
        Invalid(text, QStringLiteral("a bracketed field name is expected"));
    const qsizetype close = text.indexOf(u']', i + 1);
    if (close < 0)
        Invalid(text, QStringLiteral("a field name is not closed"));
    condition.field = text.mid(i + 1, close - i - 1);
    i = close + 1;
    SkipBlanks(text, i);
    condition.op = ReadOperator(text, i);
    SkipBlanks(text, i);
    if (i < text.size() && text[i] == u'\'') {
        const qsizetype end = text.indexOf(u'\'', i + 1);
        if (end < 0)
            Invalid(text, QStringLiteral("a quoted value is not closed"));
        condition.literal = text.mid(i + 1, end - i - 1);
        condition.quoted = true;
        i = end + 1;
    } else {
        // From the blank before the value, so that a missing value before the joiner is seen.
        const qsizetype joiner = NextJoiner(text, qMax<qsizetype>(i - 1, 0));
        const qsizetype end = joiner < 0 ? text.size() : qMax(joiner, i);
        condition.literal = text.mid(i, end - i).trimmed();
        if (condition.literal.isEmpty())
            Invalid(text, QStringLiteral("a value is missing"));
        i = end;
    }
    return condition;
}

} // namespace

FilterExpression ParseFilterExpression(const QString& text)
{
    FilterExpression expression;
    qsizetype i = 0;
    SkipBlanks(text, i);
    if (i == text.size())
        return expression;
    expression.groups.append({ReadCondition(text, i)});
    while (true) {
        SkipBlanks(text, i);
        if (i == text.size())
            return expression;
        const qsizetype wordStart = i;
        while (i < text.size() && text[i].isLetter())
            ++i;
        const QString word = text.mid(wordStart, i - wordStart);
        if (word.compare(QStringLiteral("AND"), Qt::CaseInsensitive) == 0)
            expression.groups.last().append(ReadCondition(text, i));
        else if (word.compare(QStringLiteral("OR"), Qt::CaseInsensitive) == 0)
            expression.groups.append({ReadCondition(text, i)});
        else
            Invalid(text, QStringLiteral("AND or OR is expected after a condition"));
    }
}
