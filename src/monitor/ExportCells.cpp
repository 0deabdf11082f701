#include "monitor/ExportCells.h"

#include "app/Utils.h"
#include "data/Query.h"
#include "data/records/FieldKinds.h"
#include "platform/spreadsheet/DateSeparator.h"

#include <cmath>

namespace {

// Day 0 of the spreadsheet's date scale, which a missing date-time stands for.
const QDate DayZero(1899, 12, 30);

constexpr qsizetype SheetNameLength = 30;

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= u' ';
}

double NumberOrZero(const Query& query, int field)
{
    return query.fieldIsNull(field) ? 0.0 : query.fieldValue(field).toDouble();
}

} // namespace

QString ExportSheetName(QString caption)
{
    for (const QChar c : QStringLiteral("/\\[]*?&"))
        ReplaceChar(caption, c, u'-');
    qsizetype length = std::min(caption.size(), SheetNameLength);
    // A character outside the basic plane takes two places: it is kept whole or not at all.
    if (length < caption.size() && length > 0 && caption[length - 1].isHighSurrogate())
        --length;
    qsizetype begin = 0;
    while (begin < length && IsBlankOrControl(caption[begin]))
        ++begin;
    while (length > begin && IsBlankOrControl(caption[length - 1]))
        --length;
    return caption.mid(begin, length - begin);
}

QString ExportDateText(const QDate& date)
{
    const QChar separator = DateSeparator();
    return QString::number(date.day()).rightJustified(2, u'0') + separator
        + QString::number(date.month()).rightJustified(2, u'0') + separator
        + QString::number(date.year()).rightJustified(4, u'0');
}

CellValue ExportCell(const Query& query, int field)
{
    switch (FieldKindOf(query.fieldType(field)).exportAs) {
    case ExportAs::Number: {
        const double number = NumberOrZero(query, field);
        // A sheet holds no infinity and no "not a number": those go in as the text the grid shows.
        if (!std::isfinite(number))
            return query.fieldText(field);
        return number;
    }
    case ExportAs::DateOfDay:
        return ExportDateText(query.fieldIsNull(field) ? DayZero : query.fieldValue(field).toDateTime().date());
    case ExportAs::DisplayText:
        break;
    }
    return query.fieldIsNull(field) ? QString() : query.fieldText(field);
}
