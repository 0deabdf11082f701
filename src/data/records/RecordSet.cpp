#include "data/records/RecordSet.h"

#include "data/records/FieldKinds.h"
#include "data/records/TemporalValue.h"

namespace {

RecordColumn ColumnFor(const FieldInfo& field)
{
    const FieldKind& kind = FieldKindOf(field.type);
    return RecordColumn(kind.storage, kind.form == ValueForm::DateTimeOffset);
}

} // namespace

RecordSet::RecordSet(QList<FieldInfo> fields) : fields_(std::move(fields))
{
    columns_.reserve(std::size_t(fields_.size()));
    for (const FieldInfo& f : fields_)
        columns_.push_back(ColumnFor(f));
}

void RecordSet::reset(QList<FieldInfo> fields)
{
    fields_ = std::move(fields);
    columns_.resize(std::size_t(fields_.size()), RecordColumn(RecordColumn::Storage::Integer));
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        RecordColumn column = ColumnFor(fields_[qsizetype(i)]);
        if (column.storage() == columns_[i].storage() && column.withOffsets() == columns_[i].withOffsets())
            columns_[i].clear();
        else
            columns_[i] = std::move(column);
    }
}

QString RecordSet::displayText(int row, int column) const
{
    const RecordColumn& c = columns_[std::size_t(column)];
    if (c.isNull(row))
        return QString();
    switch (FieldKindOf(fields_[column].type).form) {
    case ValueForm::Integer:
        return format_.integer(c.integer(row));
    case ValueForm::Boolean:
        return format_.boolean(c.integer(row) != 0);
    case ValueForm::DateTime:
        return format_.dateTime(c.integer(row));
    case ValueForm::DateTimeOffset:
        return format_.dateTimeOffset(c.offsetDateTime(row));
    case ValueForm::Date:
        return format_.date(c.integer(row));
    case ValueForm::Time:
        return format_.time(c.integer(row));
    case ValueForm::Real:
        return format_.real(c.real(row));
    case ValueForm::Decimal: {
        TextScratch scratch;
        return format_.decimal(c.text(row, scratch));
    }
    case ValueForm::Bytes:
        return QStringLiteral("0x") + c.textString(row);
    case ValueForm::Guid:
        // In braces, as the data access of Windows has always shown a GUID.
        return u'{' + c.textString(row) + u'}';
    case ValueForm::Text:
        break;
    }
    return c.textString(row);
}

QVariant RecordSet::value(int row, int column) const
{
    const RecordColumn& c = columns_[std::size_t(column)];
    if (c.isNull(row))
        return QVariant();
    switch (FieldKindOf(fields_[column].type).form) {
    case ValueForm::Integer:
        return QVariant::fromValue(c.integer(row));
    case ValueForm::Boolean:
        return QVariant(c.integer(row) != 0);
    case ValueForm::DateTime:
        return QVariant(TicksToDateTime(c.integer(row)));
    case ValueForm::DateTimeOffset: {
        const OffsetDateTime value = c.offsetDateTime(row);
        return QVariant(TicksToDateTime(value.utcTicks).toOffsetFromUtc(value.offsetMinutes * 60));
    }
    case ValueForm::Date:
        return QVariant(QDate::fromJulianDay(c.integer(row)));
    case ValueForm::Time:
        return QVariant(TicksToTime(c.integer(row)));
    case ValueForm::Real:
        return QVariant(c.real(row));
    case ValueForm::Bytes:
        return QVariant(QByteArray::fromHex(c.textString(row).toLatin1()));
    case ValueForm::Decimal:
    case ValueForm::Guid:
    case ValueForm::Text:
        break;
    }
    return QVariant(c.textString(row));
}

std::unique_ptr<RecordSet> RecordSet::clone() const
{
    auto copy = std::make_unique<RecordSet>(fields_);
    copy->columns_ = columns_;
    return copy;
}

void RecordSet::appendRow(const RecordSet& source, int row)
{
    for (std::size_t i = 0; i < columns_.size(); ++i)
        columns_[i].appendCell(source.columns_[i], row);
}

void RecordSet::squeeze()
{
    for (RecordColumn& c : columns_)
        c.squeeze();
}

qsizetype RecordSet::bytesUsed() const
{
    qsizetype total = 0;
    for (const RecordColumn& c : columns_)
        total += c.bytesUsed();
    return total;
}
