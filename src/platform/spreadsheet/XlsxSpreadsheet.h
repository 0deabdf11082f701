#pragma once

#include "platform/spreadsheet/Spreadsheet.h"

#include <QString>
#include <functional>

// Stands in for the office where none can be had: each workbook becomes an .xlsx file in a folder
// (the user's temporary folder), handed to the desktop's application for it when shown. It cannot
// make a workbook from a template.
class XlsxSpreadsheet : public Spreadsheet {
public:
    // open hands a finished file to the desktop and tells whether it could.
    using FileOpener = std::function<bool(const QString& file)>;

    XlsxSpreadsheet(QString folder, FileOpener open);

    std::unique_ptr<Workbook> NewWorkbook(const QString& templateFile) override;
    bool Alive() override { return true; }

private:
    QString folder_;
    FileOpener open_;
};
