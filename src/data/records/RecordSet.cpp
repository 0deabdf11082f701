#include "data/records/RecordSet.h"

#include "data/records/TemporalValue.h"

RecordColumn::Storage StorageOf(FieldType type)
{
    switch (type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::BigInt:
    case FieldType::Boolean:
    case FieldType::DateTime:
    case FieldType::DateTimeOffset:
    case FieldType::Date:
    case FieldType::Time:
        return RecordColumn::Storage::Integer;
    case FieldType::Float:
    case FieldType::Currency:
        return RecordColumn::Storage::Real;
    default:
        return RecordColumn::Storage::Text;
    }
}

RecordSet::RecordSet(QList<FieldInfo> fields) : fields_(std::move(fields))
{
    columns_.reserve(std::size_t(fields_.size()));
    for (const FieldInfo& f : fields_)
        columns_.emplace_back(StorageOf(f.type), f.type == FieldType::DateTimeOffset);
}

QString RecordSet::displayText(int row, int column) const
{
    const RecordColumn& c = columns_[std::size_t(column)];
    if (c.isNull(row))
        return QString();
    switch (fields_[column].type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::BigInt:
        return format_.integer(c.integer(row));
    case FieldType::Boolean:
        return format_.boolean(c.integer(row) != 0);
    case FieldType::DateTime:
        return format_.dateTime(c.integer(row));
    case FieldType::DateTimeOffset:
        return format_.dateTimeOffset(c.offsetDateTime(row));
    case FieldType::Date:
        return format_.date(c.integer(row));
    case FieldType::Time:
        return format_.time(c.integer(row));
    case FieldType::Float:
    case FieldType::Currency:
        return format_.real(c.real(row));
    case FieldType::Decimal: {
        TextScratch scratch;
        return format_.decimal(c.text(row, scratch));
    }
    case FieldType::Binary:
        return QStringLiteral("0x") + c.textString(row);
    case FieldType::Guid:
        // In braces, as the data access of Windows has always shown a GUID.
        return u'{' + c.textString(row) + u'}';
    default:
        return c.textString(row);
    }
}

QVariant RecordSet::value(int row, int column) const
{
    const RecordColumn& c = columns_[std::size_t(column)];
    if (c.isNull(row))
        return QVariant();
    switch (fields_[column].type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::BigInt:
        return QVariant::fromValue(c.integer(row));
    case FieldType::Boolean:
        return QVariant(c.integer(row) != 0);
    case FieldType::DateTime:
        return QVariant(TicksToDateTime(c.integer(row)));
    case FieldType::DateTimeOffset: {
        const OffsetDateTime value = c.offsetDateTime(row);
        return QVariant(TicksToDateTime(value.utcTicks).toOffsetFromUtc(value.offsetMinutes * 60));
    }
    case FieldType::Date:
        return QVariant(QDate::fromJulianDay(c.integer(row)));
    case FieldType::Time:
        return QVariant(TicksToTime(c.integer(row)));
    case FieldType::Float:
    case FieldType::Currency:
        return QVariant(c.real(row));
    case FieldType::Binary:
        return QVariant(QByteArray::fromHex(c.textString(row).toLatin1()));
    default:
        return QVariant(c.textString(row));
    }
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
