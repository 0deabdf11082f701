#include "data/odbc/OdbcFieldTypes.h"

#include "data/odbc/OdbcApi.h"

namespace {

constexpr int SqlServerVariant = -150;
constexpr int SqlServerXml = -152;
constexpr int SqlServerTime2 = -154;
constexpr int SqlServerTimestampOffset = -155;

bool IsMoneyTypeName(const QString& name)
{
    return name.compare(QStringLiteral("money"), Qt::CaseInsensitive) == 0
        || name.compare(QStringLiteral("smallmoney"), Qt::CaseInsensitive) == 0;
}

} // namespace

FieldType FieldTypeOf(int sqlType, const QString& typeName, bool decimalsAsFloat)
{
    if (IsMoneyTypeName(typeName))
        return FieldType::Currency;
    switch (sqlType) {
    case SQL_CHAR:
        return FieldType::Char;
    case SQL_VARCHAR:
        return FieldType::VarChar;
    case SQL_WCHAR:
        return FieldType::WChar;
    case SQL_WVARCHAR:
        return FieldType::VarWChar;
    case SQL_LONGVARCHAR:
        return FieldType::LongVarChar;
    case SQL_WLONGVARCHAR:
    case SqlServerXml:
        return FieldType::LongVarWChar;
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
        return FieldType::DateTime;
    case SqlServerTimestampOffset:
        return FieldType::DateTimeOffset;
    case SQL_TYPE_DATE:
        return FieldType::Date;
    case SQL_TYPE_TIME:
    case SqlServerTime2:
        return FieldType::Time;
    case SQL_TINYINT:
    case SQL_SMALLINT:
        return FieldType::SmallInt;
    case SQL_INTEGER:
        return FieldType::Integer;
    case SQL_BIGINT:
        return FieldType::BigInt;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return decimalsAsFloat ? FieldType::Float : FieldType::Decimal;
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
        return FieldType::Float;
    case SQL_BIT:
        return FieldType::Boolean;
    case SQL_GUID:
        return FieldType::Guid;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return FieldType::Binary;
    case SqlServerVariant:
    default:
        // Kinds the windows do not tell apart (intervals, variants, ...) are shown as their text.
        return FieldType::VarWChar;
    }
}
