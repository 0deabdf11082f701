#pragma once

#include "platform/spreadsheet/Workbook.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <map>

class OfficeSpreadsheet;

// An untitled spreadsheet document of the office, loaded hidden. Cells go in by blocks
// (setDataArray), which costs about as much as one cell written alone. Shown, the columns written
// are as wide as their values, within bounds, unless a template made the document: its widths are
// its designer's. Released before Show, the document is closed and an office left without
// documents ends.
class OfficeWorkbook : public Workbook {
public:
    // Throws SpreadsheetError (and closes document) when document is no spreadsheet.
    OfficeWorkbook(OfficeSpreadsheet& office, com::sun::star::uno::Reference<com::sun::star::lang::XComponent> document,
                   bool headless, bool fromTemplate);
    ~OfficeWorkbook() override;
    OfficeWorkbook(const OfficeWorkbook&) = delete;
    OfficeWorkbook& operator=(const OfficeWorkbook&) = delete;

    void NameFirstSheet(const QString& name) override;
    void WriteCells(int row, int column, const CellBlock& rows) override;
    void Show() override;
    // A cell of the office holds texts of any length the export writes.
    int CutTexts() const override { return 0; }

private:
    void Discard();
    // The cells of column from row on, rows of them, shown as date and time.
    void FormatAsDateTime(int row, int column, int rows);
    // Widens the columns written to their values, within a bound.
    void FitColumns();

    OfficeSpreadsheet& office_;
    com::sun::star::uno::Reference<com::sun::star::lang::XComponent> document_;
    com::sun::star::uno::Reference<com::sun::star::sheet::XSpreadsheet> sheet_;
    bool headless_;
    bool fromTemplate_;
    bool shown_ = false;
    // The characters the widest value of each written column (from 1) shows.
    std::map<int, qsizetype> widths_;
    sal_Int32 dateTimeFormat_ = -1;
};
