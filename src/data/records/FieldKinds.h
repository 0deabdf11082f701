#pragma once

#include "data/records/FieldType.h"
#include "data/records/RecordColumn.h"

#include <cstddef>
#include <iterator>

// The form a kind's values take. The grid's text, a cell's value, a filter's literal and the
// driver's binding are made per form, so a new kind that shares a form needs only its row below.
enum class ValueForm {
    Integer,
    Boolean,
    DateTime,        // held as TemporalValue.h tells: ticks
    DateTimeOffset,  // UTC ticks with the offset beside them
    Date,            // Julian day
    Time,            // ticks since midnight
    Real,
    Decimal,         // the exact digits as text
    Bytes,           // hexadecimal digits as text
    Guid,            // the hyphenated text, without braces
    Text,
};

// How rows are ordered by a column of the kind.
enum class SortBy { Value, DecimalValue, Collation };

// What the export writes into a sheet for a value of the kind.
enum class ExportAs {
    Number,      // null as 0; a value the sheet cannot hold as a number goes in as its text
    DateOfDay,   // the date alone, as text; null as day 0 of the sheet's scale
    DisplayText, // null as empty text
};

struct FieldKind {
    FieldType type;
    RecordColumn::Storage storage;
    ValueForm form;
    // The filter dialog wraps a literal in apostrophes. Fixed-length narrow text and long text
    // are deliberately bare: the dialog has always built them so.
    bool quoted;
    SortBy sortBy;
    // Only 32-bit integers go out as numbers among the integers: a 64-bit one would lose digits
    // beyond 2^53 in a sheet's double, and the export has always written 16-bit ones as text.
    ExportAs exportAs;
    bool number;   // aligned right in the grid
    bool temporal;
    bool longText; // of no useful bound on its length: read in chunks
};

namespace FieldKindRows {
using S = RecordColumn::Storage;
using F = ValueForm;
using enum SortBy;
using enum ExportAs;

// clang-format off
inline constexpr FieldKind Table[] = {
    // kind                     storage      form                quoted sort          export       number temporal long
    {FieldType::Char,           S::Text,     F::Text,            false, Collation,    DisplayText, false, false, false},
    {FieldType::VarChar,        S::Text,     F::Text,            true,  Collation,    DisplayText, false, false, false},
    {FieldType::WChar,          S::Text,     F::Text,            true,  Collation,    DisplayText, false, false, false},
    {FieldType::VarWChar,       S::Text,     F::Text,            true,  Collation,    DisplayText, false, false, false},
    {FieldType::LongVarChar,    S::Text,     F::Text,            false, Collation,    DisplayText, false, false, true},
    {FieldType::LongVarWChar,   S::Text,     F::Text,            false, Collation,    DisplayText, false, false, true},
    {FieldType::DateTime,       S::Integer,  F::DateTime,        true,  Value,        DateOfDay,   false, true,  false},
    {FieldType::DateTimeOffset, S::Integer,  F::DateTimeOffset,  true,  Value,        DisplayText, false, true,  false},
    {FieldType::Date,           S::Integer,  F::Date,            true,  Value,        DisplayText, false, true,  false},
    {FieldType::Time,           S::Integer,  F::Time,            true,  Value,        DisplayText, false, true,  false},
    {FieldType::SmallInt,       S::Integer,  F::Integer,         false, Value,        DisplayText, true,  false, false},
    {FieldType::Integer,        S::Integer,  F::Integer,         false, Value,        Number,      true,  false, false},
    {FieldType::BigInt,         S::Integer,  F::Integer,         false, Value,        DisplayText, true,  false, false},
    {FieldType::Decimal,        S::Text,     F::Decimal,         false, DecimalValue, DisplayText, true,  false, false},
    {FieldType::Float,          S::Real,     F::Real,            false, Value,        Number,      true,  false, false},
    {FieldType::Currency,       S::Real,     F::Real,            false, Value,        Number,      true,  false, false},
    {FieldType::Boolean,        S::Integer,  F::Boolean,         false, Value,        DisplayText, false, false, false},
    {FieldType::Guid,           S::Text,     F::Guid,            false, Collation,    DisplayText, false, false, false},
    {FieldType::Binary,         S::Text,     F::Bytes,           false, Collation,    DisplayText, false, false, false},
};
// clang-format on

// The column a form's values are read from: RecordSet, the filter and the readers rely on it.
constexpr RecordColumn::Storage StorageFor(ValueForm form)
{
    switch (form) {
    case F::Real:
        return S::Real;
    case F::Decimal:
    case F::Bytes:
    case F::Guid:
    case F::Text:
        return S::Text;
    default:
        return S::Integer;
    }
}

constexpr bool Consistent()
{
    if (std::size(Table) != FieldTypeCount)
        return false;
    for (std::size_t i = 0; i < std::size(Table); ++i) {
        const FieldKind& k = Table[i];
        const bool heldAsText = k.storage == S::Text;
        if (std::size_t(k.type) != i || k.storage != StorageFor(k.form)
            || (k.sortBy == Value) == heldAsText                  // values order by value, texts by text
            || (k.sortBy == DecimalValue) != (k.form == F::Decimal)
            || (k.number && k.sortBy == Collation)                // numbers never order as words
            || (k.exportAs == Number && (!k.number || heldAsText))
            || (k.exportAs == DateOfDay && k.form != F::DateTime)
            || (k.longText && k.form != F::Text))
            return false;
    }
    return true;
}
static_assert(Consistent(), "one row per kind, in the order of FieldType, whose columns agree");
} // namespace FieldKindRows

constexpr const FieldKind& FieldKindOf(FieldType type)
{
    return FieldKindRows::Table[std::size_t(type)];
}
