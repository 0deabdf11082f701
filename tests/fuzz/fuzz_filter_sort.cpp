// Filter expressions over a record set with a column of every field kind, and sort texts.
// A condition and its opposite split the rows between them; numbers, dates and times fall on
// exactly one side of <, = and > a literal; AND and OR combine as logic says; a null passes no
// test but a text one. Sort texts render and re-parse to the same keys.

#include "FuzzCheck.h"
#include "data/DataErrors.h"
#include "data/view/FilterExpression.h"
#include "data/records/RecordSet.h"
#include "data/view/RowFilter.h"
#include "data/view/RowOrdering.h"
#include "data/view/SortText.h"
#include "data/records/TemporalValue.h"

#include <QLocale>

#include <cmath>

#include <memory>
#include <numeric>
#include <optional>

namespace {

constexpr FieldType kinds[] = {
    FieldType::Char,     FieldType::VarChar,  FieldType::WChar,   FieldType::VarWChar, FieldType::LongVarChar,
    FieldType::LongVarWChar, FieldType::DateTime, FieldType::DateTimeOffset, FieldType::Date, FieldType::Time,
    FieldType::SmallInt, FieldType::Integer,  FieldType::BigInt,  FieldType::Decimal,  FieldType::Float,
    FieldType::Currency, FieldType::Boolean,  FieldType::Guid,    FieldType::Binary,
};
constexpr int kindCount = int(std::size(kinds));

QString ColumnName(int column)
{
    return QStringLiteral("c%1").arg(column);
}

void AppendText(RecordColumn& column, const QString& text)
{
    column.appendText(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

QString DecimalText(FuzzedDataProvider& input)
{
    // Small parts often, so that rows share an integer part or a fraction.
    const int most = input.ConsumeBool() ? 3 : 9999;
    QString text = input.ConsumeBool() ? QStringLiteral("-") : QString();
    text += QString::number(input.ConsumeIntegralInRange<int>(0, most));
    if (input.ConsumeBool())
        text += u'.' + QString::number(input.ConsumeIntegralInRange<int>(0, most % 1000)).rightJustified(3, u'0');
    return text;
}

void AppendValue(FuzzedDataProvider& input, FieldType kind, RecordColumn& column)
{
    if (input.ConsumeIntegralInRange<int>(0, 5) == 0) {
        column.appendNull();
        return;
    }
    const qint64 day = input.ConsumeIntegralInRange<qint64>(-3, 3);
    const qint64 second = input.ConsumeIntegralInRange<qint64>(0, 86399);
    switch (kind) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::BigInt:
        column.appendInteger(input.ConsumeBool() ? input.ConsumeIntegralInRange<qint64>(-5, 5) : input.ConsumeIntegral<qint64>());
        break;
    case FieldType::Boolean:
        column.appendInteger(input.ConsumeBool() ? 1 : 0);
        break;
    case FieldType::DateTime:
        column.appendInteger(DateTimeToTicks(QDate(2004, 10, 21).addDays(day), second * TicksPerSecond
                                                                             + (input.ConsumeBool() ? 0 : 1234567)));
        break;
    case FieldType::DateTimeOffset:
        column.appendOffsetDateTime({DateTimeToTicks(QDate(2004, 10, 21).addDays(day), second * TicksPerSecond),
                                     input.ConsumeIntegralInRange<int>(-14 * 4, 14 * 4) * 15});
        break;
    case FieldType::Date:
        column.appendInteger(QDate(2004, 10, 21).addDays(day).toJulianDay());
        break;
    case FieldType::Time:
        column.appendInteger(second * TicksPerSecond + (input.ConsumeBool() ? 0 : 5000000));
        break;
    case FieldType::Float:
    case FieldType::Currency: {
        static constexpr double usual[] = {-2.5, -1, 0, 0.5, 1, 3, 1e6, 1.5e-7};
        column.appendReal(input.ConsumeBool() ? usual[input.ConsumeIntegralInRange<int>(0, 7)]
                                              : input.ConsumeFloatingPointInRange<double>(-1e9, 1e9));
        break;
    }
    case FieldType::Decimal:
        AppendText(column, DecimalText(input));
        break;
    default:
        AppendText(column, TakeText(input, 8) + QString(input.ConsumeIntegralInRange<int>(0, 2), u' '));
        break;
    }
}

bool NullPassesNothing(FieldType kind)
{
    return !IsTextFieldType(kind);
}

// The literal of a condition as the filter dialog would write it: quoted where it can be.
QString Condition(int column, const QString& op, const QString& literal, bool quoted)
{
    const QString value = quoted ? u'\'' + literal + u'\'' : literal.trimmed();
    return QStringLiteral("[%1] %2 %3").arg(ColumnName(column), op, value);
}

bool Writable(const QString& literal, bool quoted)
{
    if (quoted)
        return !literal.contains(u'\'');
    return !literal.trimmed().isEmpty() && !literal.trimmed().startsWith(u'\'')
        && !literal.contains(QStringLiteral(" AND ["), Qt::CaseInsensitive)
        && !literal.contains(QStringLiteral(" OR ["), Qt::CaseInsensitive);
}

// Which rows pass, or nothing when the expression is refused.
std::optional<QList<bool>> Passing(const QString& expression, const RecordSet& records)
{
    try {
        const RowFilter filter(ParseFilterExpression(expression), records, QStringLiteral("Query"));
        QList<bool> passing;
        for (int row = 0; row < records.rowCount(); ++row)
            passing.append(filter.matches(row));
        return passing;
    } catch (const DataError&) {
        return std::nullopt;
    }
}

// A cell's exact number as a reference does it: integers as integers, the short decimals of
// these rows through a double, which holds them exactly enough to order them.
std::optional<double> ReferenceNumber(const RecordSet& records, int row, int column)
{
    switch (kinds[column]) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::BigInt:
        return double(records.column(column).integer(row));
    case FieldType::Decimal:
        return records.column(column).textString(row).toDouble();
    default:
        return std::nullopt;
    }
}

// Numbers compare as numbers, whatever their text: checked against a reference for literals
// taken from cells of an integer or exact decimal column.
void CheckNumbers(const RecordSet& records, int column, const QString& literal, bool quoted,
                  const QList<std::optional<QList<bool>>>& results)
{
    bool ok = false;
    QString text = literal;
    const double target = text.replace(QLocale().decimalPoint(), QStringLiteral(".")).toDouble(&ok);
    if (!ok || std::abs(target) > 9e15)
        return;
    for (int row = 0; row < records.rowCount(); ++row) {
        const std::optional<double> value = records.isNull(row, column) ? std::nullopt : ReferenceNumber(records, row, column);
        if (!value || std::abs(*value) > 9e15)
            continue;
        const bool expected[] = {*value == target, *value != target, *value < target,
                                 *value >= target, *value > target, *value <= target};
        for (int op = 0; op < 6; ++op) {
            Require(!results[op] || (*results[op])[row] == expected[op], "numbers compare as numbers",
                    Condition(column, QString::number(op), literal, quoted) + QStringLiteral(" row %1").arg(row));
        }
    }
}

struct Test {
    QString text;
    QList<bool> passing;
};

// One condition on a column and its opposites.
std::optional<Test> CheckCondition(FuzzedDataProvider& input, const RecordSet& records)
{
    const int column = input.ConsumeIntegralInRange<int>(0, kindCount - 1);
    const FieldType kind = kinds[column];
    const int rows = records.rowCount();
    const bool fromCell = rows > 0 && input.ConsumeBool();
    const QString literal = fromCell ? records.displayText(input.ConsumeIntegralInRange<int>(0, rows - 1), column)
                                     : TakeText(input, 12);
    const bool quoted = input.ConsumeBool();
    if (!Writable(literal, quoted))
        return std::nullopt;

    static const QStringList ops{QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"), QStringLiteral(">="),
                                 QStringLiteral(">"), QStringLiteral("<=")};
    QList<std::optional<QList<bool>>> results;
    for (const QString& op : ops)
        results.append(Passing(Condition(column, op, literal, quoted), records));
    for (int pair = 0; pair < 6; pair += 2) {
        if (!results[pair] || !results[pair + 1])
            continue;
        for (int row = 0; row < rows; ++row) {
            const bool a = (*results[pair])[row];
            const bool b = (*results[pair + 1])[row];
            const QString detail = Condition(column, ops[pair], literal, quoted) + QStringLiteral(" row %1").arg(row);
            if (records.isNull(row, column) && NullPassesNothing(kind))
                Require(!a && !b, "a null passes no test of its kind", detail);
            else
                Require(a != b, "a condition and its opposite split the rows", detail);
        }
    }
    if (!IsTextFieldType(kind) && results[0] && results[2] && results[4]) {
        for (int row = 0; row < rows; ++row) {
            if (records.isNull(row, column))
                continue;
            const int sides = int((*results[0])[row]) + int((*results[2])[row]) + int((*results[4])[row]);
            Require(sides == 1, "a value is <, = or > a literal, exactly one of them",
                    Condition(column, QStringLiteral("?"), literal, quoted) + QStringLiteral(" row %1").arg(row));
        }
    }
    if (fromCell && !literal.isEmpty())
        CheckNumbers(records, column, literal, quoted, results);
    const int chosen = input.ConsumeIntegralInRange<int>(0, 5);
    if (!results[chosen])
        return std::nullopt;
    return Test{Condition(column, ops[chosen], literal, quoted), *results[chosen]};
}

void CheckJoins(const Test& a, const Test& b, const RecordSet& records)
{
    const auto both = Passing(a.text + QStringLiteral(" AND ") + b.text, records);
    const auto either = Passing(a.text + QStringLiteral(" OR ") + b.text, records);
    Require(both && either, "conditions that hold alone hold joined", a.text + u'|' + b.text);
    for (int row = 0; row < records.rowCount(); ++row) {
        Require((*both)[row] == (a.passing[row] && b.passing[row]), "AND passes rows both pass", a.text + u'|' + b.text);
        Require((*either)[row] == (a.passing[row] || b.passing[row]), "OR passes rows either passes", a.text + u'|' + b.text);
    }
}

void CheckSortText(FuzzedDataProvider& input)
{
    QList<SortKey> keys;
    const int count = input.ConsumeIntegralInRange<int>(1, 3);
    for (int i = 0; i < count; ++i)
        keys.append({TakeText(input, 8), input.ConsumeBool()});
    QList<SortKey> read;
    try {
        read = ParseSortText(RenderSortText(keys));
    } catch (const DataError&) {
        Require(false, "a rendered sort text can be read", RenderSortText(keys));
    }
    Require(read.size() == keys.size(), "a rendered sort text reads back every key", RenderSortText(keys));
    for (qsizetype i = 0; i < keys.size(); ++i) {
        Require(read[i].field == keys[i].field && read[i].descending == keys[i].descending,
                "a rendered sort text reads back the same keys", RenderSortText(keys));
    }

    const QString raw = TakeText(input, 24);
    try {
        const QList<SortKey> parsed = ParseSortText(raw);
        const QList<SortKey> again = ParseSortText(RenderSortText(parsed));
        Require(again.size() == parsed.size(), "a read sort text renders to the same keys", raw);
        for (qsizetype i = 0; i < parsed.size(); ++i)
            Require(again[i].field == parsed[i].field && again[i].descending == parsed[i].descending,
                    "a read sort text renders to the same keys", raw);
    } catch (const DataError&) {
    }
}

void CheckOrdering(FuzzedDataProvider& input, const RecordSet& records)
{
    const int column = input.ConsumeIntegralInRange<int>(0, kindCount - 1);
    const bool descending = input.ConsumeBool();
    const std::vector<qint64> keys = OrderingKeys(records, column);
    std::vector<int> rows(std::size_t(records.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    SortRows(rows, {keys}, {descending});
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const qint64 a = keys[std::size_t(rows[i - 1])];
        const qint64 b = keys[std::size_t(rows[i])];
        Require(descending ? a >= b : a <= b, "sorted rows are in key order");
        Require(a != b || rows[i - 1] < rows[i], "rows with equal keys keep their order");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                                      QLocale(QLocale::German, QLocale::Germany)};
    QLocale::setDefault(locales[input.ConsumeIntegralInRange<int>(0, 2)]);

    QList<FieldInfo> fields;
    for (int column = 0; column < kindCount; ++column) {
        FieldInfo field;
        field.name = ColumnName(column);
        field.type = kinds[column];
        fields.append(field);
    }
    auto records = std::make_unique<RecordSet>(fields);
    const int rows = input.ConsumeIntegralInRange<int>(0, 4);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < kindCount; ++column)
            AppendValue(input, kinds[column], records->column(column));
    }

    CheckSortText(input);
    CheckOrdering(input, *records);
    Passing(TakeText(input, 48), *records);
    const std::optional<Test> first = CheckCondition(input, *records);
    const std::optional<Test> second = CheckCondition(input, *records);
    if (first && second)
        CheckJoins(*first, *second, *records);
    return 0;
}
