#include "data/records/FieldType.h"

bool IsQuotedFieldType(FieldType type)
{
    switch (type) {
    case FieldType::VarChar:
    case FieldType::WChar:
    case FieldType::VarWChar:
    case FieldType::DateTime:
    case FieldType::DateTimeOffset:
    case FieldType::Date:
    case FieldType::Time:
        return true;
    default:
        return false;
    }
}

bool IsTextFieldType(FieldType type)
{
    switch (type) {
    case FieldType::Char:
    case FieldType::VarChar:
    case FieldType::WChar:
    case FieldType::VarWChar:
    case FieldType::LongVarChar:
    case FieldType::LongVarWChar:
    case FieldType::Guid:
    case FieldType::Binary:
        return true;
    default:
        return false;
    }
}

bool IsNumberFieldType(FieldType type)
{
    switch (type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::BigInt:
    case FieldType::Decimal:
    case FieldType::Float:
    case FieldType::Currency:
        return true;
    default:
        return false;
    }
}

bool IsTemporalFieldType(FieldType type)
{
    return type == FieldType::DateTime || type == FieldType::DateTimeOffset || type == FieldType::Date
        || type == FieldType::Time;
}
