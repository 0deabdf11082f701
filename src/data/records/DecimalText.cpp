#include "data/records/DecimalText.h"

#include <QLocale>

#include <cmath>

namespace {

struct DecimalParts {
    bool negative = false;
    QStringView integer;    // without leading zeros
    QStringView fraction;   // without trailing zeros
};

DecimalParts Split(QStringView text)
{
    DecimalParts parts;
    text = text.trimmed();
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        parts.negative = text.front() == u'-';
        text = text.mid(1);
    }
    const qsizetype dot = text.indexOf(u'.');
    QStringView integer = dot < 0 ? text : text.left(dot);
    QStringView fraction = dot < 0 ? QStringView() : text.mid(dot + 1);
    while (!integer.isEmpty() && integer.front() == u'0')
        integer = integer.mid(1);
    while (!fraction.isEmpty() && fraction.back() == u'0')
        fraction.chop(1);
    parts.integer = integer;
    parts.fraction = fraction;
    if (integer.isEmpty() && fraction.isEmpty())
        parts.negative = false;
    return parts;
}

int CompareMagnitude(const DecimalParts& a, const DecimalParts& b)
{
    if (a.integer.size() != b.integer.size())
        return a.integer.size() < b.integer.size() ? -1 : 1;
    if (const int c = a.integer.compare(b.integer))
        return c < 0 ? -1 : 1;
    // Trailing zeros are gone, so a fraction that is a prefix of the other is the smaller.
    const int c = a.fraction.compare(b.fraction);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

int CompareDecimalText(QStringView a, QStringView b)
{
    const DecimalParts pa = Split(a);
    const DecimalParts pb = Split(b);
    if (pa.negative != pb.negative)
        return pa.negative ? -1 : 1;
    const int magnitude = CompareMagnitude(pa, pb);
    return pa.negative ? -magnitude : magnitude;
}

std::optional<QString> DecimalLiteral(const QString& text, QChar localeDecimalPoint)
{
    QString candidate = text.trimmed();
    candidate.replace(localeDecimalPoint, u'.');
    qsizetype i = 0;
    if (i < candidate.size() && (candidate[i] == u'-' || candidate[i] == u'+'))
        ++i;
    bool digits = false;
    bool dot = false;
    for (; i < candidate.size(); ++i) {
        if (candidate[i].isDigit() && candidate[i].unicode() < 128)
            digits = true;
        else if (candidate[i] == u'.' && !dot)
            dot = true;
        else
            break;
    }
    if (digits && i == candidate.size())
        return candidate;
    // Scientific notation and the like: exact enough through a double.
    bool ok = false;
    const double value = QLocale::c().toDouble(candidate, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return QString::number(value, 'f', 15);
}
