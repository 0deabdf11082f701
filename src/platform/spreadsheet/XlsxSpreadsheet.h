#pragma once

#include "platform/spreadsheet/Spreadsheet.h"

#include <QString>
#include <chrono>
#include <functional>

// Stands in for the office where none can be had: each workbook becomes an .xlsx file in a folder
// (the user's temporary folder), handed to the desktop's application for it when shown. It cannot
// make a workbook from a template. A file handed over is removed once the application has had it
// for a while; what an earlier run left is removed by RemoveHandedOver.
class XlsxSpreadsheet : public Spreadsheet {
public:
    // open hands a finished file to the desktop and tells whether it could.
    using FileOpener = std::function<bool(const QString& file)>;

    // How long a file handed over stays for the application that opens it.
    static constexpr std::chrono::milliseconds KeepHandedOver = std::chrono::minutes(5);

    XlsxSpreadsheet(QString folder, FileOpener open, std::chrono::milliseconds keep = KeepHandedOver);

    std::unique_ptr<Workbook> NewWorkbook(const QString& templateFile) override;
    bool Alive() override { return true; }

    // Removes from folder the files of this writer's workbooks that were handed over at least keep
    // ago, by this program run or an earlier one; nothing else.
    static void RemoveHandedOver(const QString& folder, std::chrono::milliseconds keep = KeepHandedOver);

private:
    QString folder_;
    FileOpener open_;
    std::chrono::milliseconds keep_;
};
