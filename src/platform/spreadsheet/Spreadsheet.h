#pragma once

#include "platform/spreadsheet/Workbook.h"

#include <QString>
#include <memory>

// The spreadsheet application the export fills: an office driven at run time, or a file writer
// that hands its file to the desktop.
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;

    // A new workbook, empty or made from a template file (which stays untouched). Throws
    // SpreadsheetError.
    virtual std::unique_ptr<Workbook> NewWorkbook(const QString& templateFile) = 0;
    // Whether the application still answers; one that went away is started anew.
    virtual bool Alive() = 0;
};
