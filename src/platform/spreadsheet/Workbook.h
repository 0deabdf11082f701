#pragma once

#include "platform/spreadsheet/CellValue.h"

#include <QString>

// A new, untitled workbook, hidden until Show. One that is released without having been shown
// is discarded: the operator never meets a half-filled workbook of a failed export.
class Workbook {
public:
    virtual ~Workbook() = default;

    // Names the first sheet; throws SpreadsheetError when the application does not take the name.
    virtual void NameFirstSheet(const QString& name) = 0;
    // Writes rows into the first sheet with their top-left cell at (row, column), both from 1.
    virtual void WriteCells(int row, int column, const CellBlock& rows) = 0;
    // Hands the workbook over to the operator; from then on it is no longer the program's.
    virtual void Show() = 0;
    // How many texts written were longer than a cell of the workbook holds: each was cut and ends
    // in "…".
    virtual int CutTexts() const = 0;
};
