#pragma once

#include "platform/spreadsheet/CellValue.h"

// What a cell shows of a value, counted in characters, so that both spreadsheets size their
// columns alike: a text its longest line, a whole number all its digits, another number what the
// general format shows at most, a date and time its format's text.
qsizetype ShownCharacters(const CellValue& value);

// Whether a number is shown digit by digit in the format "0"; beyond 15 digits it is too large to
// be read that way.
bool IsWholeNumber(double number);

// The most characters a column is widened to: a longer value runs on under its neighbours or is
// cut at the border.
inline constexpr qsizetype MaxColumnCharacters = 60;
