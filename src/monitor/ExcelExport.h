#pragma once

#include "data/Query.h"

#include <QString>
#include <memory>

class Connection;
class QFileDialog;
class QWidget;
class Spreadsheet;
class SpreadsheetProvider;
class Workbook;

// What the export reads from its monitor window.
struct ExportSource {
    Connection* connection = nullptr;   // the window's own connection, ADOC
    const Query* query = nullptr;        // the window's data set: SQL text, filter, sort
    QString caption;                     // the window's caption, the sheet's name
    QString server;
    QString templateDir;                 // the template dialog's folder, as stored
    QFileDialog* openDialog = nullptr;
    QWidget* window = nullptr;           // parent of the boxes
};

// One export of a window's result into a new workbook: the rows are read afresh with the window's
// script, filter and sort, under a header naming the server, the filter and the date. Any failure
// ends it with one error box; a workbook not yet shown is then discarded. Texts cut to fit the
// cells of the workbook are told in one warning box once it is shown.
class ExcelExport {
public:
    // Rows go to the spreadsheet in blocks of this many.
    static constexpr int BlockRows = 1000;
    // Exports of more rows show their progress, with a Cancel button.
    static constexpr int ProgressRows = 5000;

    // The export query: a copy of the window's SQL text and filter text on its connection.
    ExcelExport(const ExportSource& source, SpreadsheetProvider& spreadsheets);
    ~ExcelExport();

    void Run();

private:
    void Fill();
    QString AskTemplate();
    void WriteHeader();
    void OpenExportQuery();
    void WriteRows();

    ExportSource source_;
    SpreadsheetProvider& spreadsheets_;
    Query exportQuery_;
    Spreadsheet* ExcelApp = nullptr;
    std::unique_ptr<Workbook> ExcelSheet;
};
