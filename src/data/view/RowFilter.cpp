#include "data/view/RowFilter.h"

#include "data/DataErrors.h"
#include "data/records/DecimalText.h"
#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"
#include "data/records/TemporalValue.h"

namespace {

QStringView WithoutTrailingBlanks(QStringView text)
{
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

template <typename T>
bool Compare(const T& a, const T& b, CompareOp op)
{
    switch (op) {
    case CompareOp::Equal:
        return a == b;
    case CompareOp::NotEqual:
        return a != b;
    case CompareOp::Greater:
        return a > b;
    case CompareOp::Less:
        return a < b;
    case CompareOp::GreaterEqual:
        return a >= b;
    case CompareOp::LessEqual:
        return a <= b;
    }
    return false;
}

bool Holds(int comparison, CompareOp op)
{
    return Compare(comparison, 0, op);
}

[[noreturn]] void BadValue(const FilterCondition& condition)
{
    throw DataError(QStringLiteral("Filter: '%1' is not a valid value for field '%2'").arg(condition.literal, condition.field));
}

} // namespace

RowFilter::RowFilter(const FilterExpression& expression, const RecordSet& records, const QString& dataSetName)
    : records_(records), collator_(records.format().locale())
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    for (const QList<FilterCondition>& group : expression.groups) {
        QList<Test> tests;
        for (const FilterCondition& condition : group)
            tests.append(compile(condition, dataSetName));
        groups_.append(tests);
    }
}

RowFilter::Test RowFilter::compile(const FilterCondition& condition, const QString& dataSetName) const
{
    Test test;
    test.op = condition.op;
    test.column = -1;
    for (int i = 0; i < records_.fieldCount(); ++i) {
        if (records_.field(i).name.compare(condition.field, Qt::CaseInsensitive) == 0) {
            test.column = i;
            break;
        }
    }
    if (test.column < 0)
        throw DataError(QStringLiteral("%1: Field '%2' not found").arg(dataSetName, condition.field));

    const DisplayFormat& format = records_.format();
    const ValueForm form = FieldKindOf(records_.field(test.column).type).form;
    switch (form) {
    case ValueForm::Integer: {
        bool ok = false;
        test.integer = condition.literal.trimmed().toLongLong(&ok);
        if (ok) {
            test.kind = Kind::Integer;
            break;
        }
        const std::optional<double> number = format.readNumber(condition.literal);
        if (!number)
            BadValue(condition);
        test.kind = Kind::Real;
        test.real = *number;
        break;
    }
    case ValueForm::Real: {
        const std::optional<double> number = format.readNumber(condition.literal);
        if (!number)
            BadValue(condition);
        test.kind = Kind::Real;
        test.real = *number;
        break;
    }
    case ValueForm::Decimal: {
        const std::optional<QString> number = DecimalLiteral(condition.literal, format.locale().decimalPoint().front());
        if (!number)
            BadValue(condition);
        test.kind = Kind::Decimal;
        test.text = *number;
        break;
    }
    case ValueForm::DateTime:
    case ValueForm::Date: {
        const std::optional<qint64> ticks = format.readDateTime(condition.literal);
        if (!ticks)
            BadValue(condition);
        test.kind = Kind::Integer;
        test.integer = form == ValueForm::Date ? SplitTicks(*ticks).first : *ticks;
        break;
    }
    case ValueForm::DateTimeOffset: {
        // Compared as instants: the value's own offset and the literal's.
        const std::optional<qint64> ticks = format.readDateTimeOffset(condition.literal);
        if (!ticks)
            BadValue(condition);
        test.kind = Kind::Integer;
        test.integer = *ticks;
        break;
    }
    case ValueForm::Time: {
        const std::optional<qint64> ticks = format.readTime(condition.literal);
        if (!ticks)
            BadValue(condition);
        test.kind = Kind::Integer;
        test.integer = *ticks;
        break;
    }
    case ValueForm::Boolean: {
        const QString literal = condition.literal.trimmed().toLower();
        if (literal == QStringLiteral("true") || literal == QStringLiteral("1") || literal == QStringLiteral("-1"))
            test.integer = 1;
        else if (literal == QStringLiteral("false") || literal == QStringLiteral("0"))
            test.integer = 0;
        else
            BadValue(condition);
        if (condition.op != CompareOp::Equal && condition.op != CompareOp::NotEqual)
            throw DataError(QStringLiteral("Filter: field '%1' can only be compared with = and <>").arg(condition.field));
        test.kind = Kind::Boolean;
        break;
    }
    case ValueForm::Bytes:
        test.kind = Kind::Text;
        test.text = condition.literal.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive) ? condition.literal.mid(2)
                                                                                            : condition.literal;
        break;
    case ValueForm::Guid: {
        // As the grid shows it, in braces, or bare as it is held.
        const QString literal = condition.literal.trimmed();
        test.kind = Kind::Text;
        test.text = literal.startsWith(u'{') && literal.endsWith(u'}') ? literal.mid(1, literal.size() - 2) : literal;
        break;
    }
    case ValueForm::Text:
        test.kind = Kind::Text;
        test.text = WithoutTrailingBlanks(condition.literal).toString();
        break;
    }
    return test;
}

bool RowFilter::matches(int row) const
{
    for (const QList<Test>& group : groups_) {
        bool all = true;
        for (const Test& test : group) {
            if (!holds(test, row)) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return groups_.isEmpty();
}

bool RowFilter::holds(const Test& test, int row) const
{
    const RecordColumn& c = records_.column(test.column);
    const bool null = c.isNull(row);
    if (null && test.kind != Kind::Text)
        return false;
    switch (test.kind) {
    case Kind::Integer:
        return Compare(c.integer(row), test.integer, test.op);
    case Kind::Boolean:
        return Compare(c.integer(row) != 0, test.integer != 0, test.op);
    case Kind::Real:
        return Compare(c.storage() == RecordColumn::Storage::Integer ? double(c.integer(row)) : c.real(row), test.real, test.op);
    case Kind::Decimal: {
        TextScratch scratch;
        return Holds(CompareDecimalText(c.text(row, scratch), test.text), test.op);
    }
    case Kind::Text: {
        TextScratch scratch;
        const QStringView value = null ? QStringView() : WithoutTrailingBlanks(c.text(row, scratch));
        if (test.op == CompareOp::Equal || test.op == CompareOp::NotEqual)
            return Compare(value.compare(test.text, Qt::CaseInsensitive) == 0, true, test.op);
        return Holds(collator_.compare(value, test.text), test.op);
    }
    }
    return false;
}
