#pragma once

#include <cstddef>

// The column kinds the windows tell apart. What each means to storage, display, filter, sort and
// export is its row in FieldKinds.h.
enum class FieldType {
    Char,
    VarChar,
    WChar,
    VarWChar,
    LongVarChar,
    LongVarWChar,
    DateTime,
    // A date-time with its offset from UTC (SQL Server's datetimeoffset).
    DateTimeOffset,
    Date,
    Time,
    SmallInt,
    Integer,
    BigInt,
    Decimal,
    Float,
    Currency,
    Boolean,
    Guid,
    Binary,
};

// Binary stays the last kind: the table of kinds checks its length against this.
constexpr std::size_t FieldTypeCount = std::size_t(FieldType::Binary) + 1;

// Whether the filter dialog wraps a literal for this kind in apostrophes.
bool IsQuotedFieldType(FieldType type);

// Whether a filter compares the kind as text, which a null passes as the empty text.
bool IsTextFieldType(FieldType type);
bool IsNumberFieldType(FieldType type);
bool IsTemporalFieldType(FieldType type);
