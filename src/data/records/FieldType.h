#pragma once

// The column kinds the windows tell apart: the filter dialog quotes by them, the export converts
// by them, sort and filter compare by them.
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

// Whether the filter dialog wraps a literal for this kind in apostrophes. Fixed-length narrow text
// and long text are deliberately not quoted: the dialog has always built them bare.
bool IsQuotedFieldType(FieldType type);

bool IsTextFieldType(FieldType type);
bool IsNumberFieldType(FieldType type);
bool IsTemporalFieldType(FieldType type);
