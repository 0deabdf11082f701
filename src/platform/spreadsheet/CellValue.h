#pragma once

#include <QDateTime>
#include <QString>
#include <variant>
#include <vector>

// What a cell of the export receives: a number, a text (never read as a formula), or a date and
// time that the spreadsheet keeps as a date value and shows in a date format.
using CellValue = std::variant<double, QString, QDateTime>;

// Rows of cells written in one call, all of the same width.
using CellBlock = std::vector<std::vector<CellValue>>;
