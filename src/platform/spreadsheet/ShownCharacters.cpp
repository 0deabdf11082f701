#include "platform/spreadsheet/ShownCharacters.h"

#include "platform/spreadsheet/DateSeparator.h"

#include <algorithm>
#include <cmath>

namespace {

// What the general format shows of a number with a fraction: at most this many characters.
constexpr qsizetype GeneralNumberLength = 11;

qsizetype LongestLine(const QString& text)
{
    qsizetype longest = 0;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(u'\n', start);
        longest = std::max(longest, (end < 0 ? text.size() : end) - start);
        if (end < 0)
            return longest;
        start = end + 1;
    }
}

} // namespace

bool IsWholeNumber(double number)
{
    return std::trunc(number) == number && std::abs(number) < 1e15;
}

qsizetype ShownCharacters(const CellValue& value)
{
    if (const double* number = std::get_if<double>(&value)) {
        if (IsWholeNumber(*number))
            return QString::number(*number, 'f', 0).size();
        return std::min(QString::number(*number, 'g', 15).size(), GeneralNumberLength);
    }
    if (const QString* text = std::get_if<QString>(&value))
        return LongestLine(*text);
    // The format's quoting backslashes are not shown.
    const QString format = DateTimeFormatCode();
    return format.size() - format.count(u'\\');
}
