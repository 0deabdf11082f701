#include "data/pg/PgFieldTypes.h"

namespace {

// ODBC's SQL type codes, as the driver reports them for each server type.
enum SqlType {
    SqlNumeric = 2,
    SqlInteger = 4,
    SqlSmallInt = 5,
    SqlFloat = 6,
    SqlReal = 7,
    SqlVarChar = 12,
    SqlDate = 91,
    SqlTime = 92,
    SqlTimestamp = 93,
    SqlLongVarBinary = -4,
    SqlBigInt = -5,
    SqlWChar = -8,
    SqlWVarChar = -9,
    SqlWLongVarChar = -10,
    SqlGuid = -11,
};

// The driver's sizes for text of no declared length, and for an unconstrained numeric.
constexpr int VarcharSize = 255;
constexpr int LongVarcharSize = 8190;
constexpr int NumericPrecision = 28;
// What a type modifier adds to a declared character length.
constexpr int VarHeaderSize = 4;

// The server's fixed type identifiers.
enum TypeOid : unsigned int {
    BoolOid = 16,
    ByteaOid = 17,
    CharOid = 18,
    NameOid = 19,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    TextOid = 25,
    OidOid = 26,
    XmlOid = 142,
    CidrOid = 650,
    Float4Oid = 700,
    Float8Oid = 701,
    MoneyOid = 790,
    InetOid = 869,
    BpcharOid = 1042,
    VarcharOid = 1043,
    DateOid = 1082,
    TimeOid = 1083,
    TimestampOid = 1114,
    TimestampTzOid = 1184,
    IntervalOid = 1186,
    BitOid = 1560,
    NumericOid = 1700,
    UuidOid = 2950,
};

PgColumnKind Kind(FieldType type, int sqlType, const char* typeName, qint64 size, PgResultReader::Form form, int decimals = 0)
{
    PgColumnKind kind;
    kind.field.type = type;
    kind.field.sqlType = sqlType;
    kind.field.typeName = QString::fromLatin1(typeName);
    kind.field.size = size;
    kind.field.decimals = decimals;
    kind.form = form;
    return kind;
}

PgColumnKind KindOf(unsigned int oid, int modifier, bool decimalsAsFloat)
{
    using Form = PgResultReader::Form;
    const qint64 declaredLength = modifier > VarHeaderSize ? modifier - VarHeaderSize : VarcharSize;
    switch (oid) {
    case BoolOid:
        // The driver's default: booleans as the characters 1 and 0.
        return Kind(FieldType::VarChar, SqlVarChar, "bool", 5, Form::Boolean);
    case ByteaOid:
        return Kind(FieldType::Binary, SqlLongVarBinary, "bytea", 0, Form::Bytes);
    case CharOid:
        return Kind(FieldType::WChar, SqlWChar, "char", 1, Form::Text);
    case NameOid:
        return Kind(FieldType::VarWChar, SqlWVarChar, "name", 63, Form::Text);
    case Int8Oid:
        return Kind(FieldType::BigInt, SqlBigInt, "int8", 19, Form::Integer);
    case Int2Oid:
        return Kind(FieldType::SmallInt, SqlSmallInt, "int2", 5, Form::Integer);
    case Int4Oid:
        return Kind(FieldType::Integer, SqlInteger, "int4", 10, Form::Integer);
    case OidOid:
        return Kind(FieldType::Integer, SqlInteger, "oid", 10, Form::Integer);
    case TextOid:
        return Kind(FieldType::LongVarWChar, SqlWLongVarChar, "text", LongVarcharSize, Form::Text);
    case XmlOid:
        return Kind(FieldType::LongVarWChar, SqlWLongVarChar, "xml", VarcharSize, Form::Text);
    case Float4Oid:
        return Kind(FieldType::Float, SqlReal, "float4", 9, Form::Real);
    case Float8Oid:
        return Kind(FieldType::Float, SqlFloat, "float8", 17, Form::Real);
    case MoneyOid:
        return Kind(FieldType::Currency, SqlFloat, "money", 10, Form::Money);
    case InetOid:
        return Kind(FieldType::VarWChar, SqlWVarChar, "inet", 50, Form::Text);
    case CidrOid:
        return Kind(FieldType::VarWChar, SqlWVarChar, "cidr", 50, Form::Text);
    case BpcharOid:
        return Kind(FieldType::WChar, SqlWChar, "char", declaredLength, Form::Text);
    case VarcharOid:
        return Kind(FieldType::VarWChar, SqlWVarChar, "varchar", declaredLength, Form::Text);
    case DateOid:
        return Kind(FieldType::Date, SqlDate, "date", 10, Form::Date);
    case TimeOid:
        return Kind(FieldType::Time, SqlTime, "time", 8, Form::Time, 6);
    case TimestampOid:
        return Kind(FieldType::DateTime, SqlTimestamp, "timestamp without time zone", 26, Form::DateTime, 6);
    case TimestampTzOid:
        return Kind(FieldType::DateTime, SqlTimestamp, "timestamptz", 26, Form::DateTime, 6);
    case IntervalOid:
        return Kind(FieldType::VarWChar, SqlWVarChar, "", 32, Form::Text);
    case BitOid:
        return Kind(FieldType::VarChar, SqlVarChar, "unknown", VarcharSize, Form::Text);
    case NumericOid: {
        // The modifier packs precision and scale; none means an unconstrained numeric.
        const bool constrained = modifier >= VarHeaderSize;
        const int precision = constrained ? ((modifier - VarHeaderSize) >> 16) & 0xffff : NumericPrecision;
        const int scale = constrained ? (modifier - VarHeaderSize) & 0xffff : 0;
        if (decimalsAsFloat)
            return Kind(FieldType::Float, SqlNumeric, "numeric", precision, Form::Real, scale);
        return Kind(FieldType::Decimal, SqlNumeric, "numeric", precision, Form::Text, scale);
    }
    case UuidOid:
        return Kind(FieldType::Guid, SqlGuid, "uuid", 37, Form::Guid);
    default:
        // Types the driver does not know (json, arrays, ranges, ...) come as wide text.
        return Kind(FieldType::VarWChar, SqlWVarChar, "unknown", VarcharSize, Form::Text);
    }
}

} // namespace

PgColumnKind PgColumnKindOf(const QString& name, unsigned int typeOid, int typeModifier, bool decimalsAsFloat)
{
    PgColumnKind kind = KindOf(typeOid, typeModifier, decimalsAsFloat);
    kind.field.name = name;
    return kind;
}
