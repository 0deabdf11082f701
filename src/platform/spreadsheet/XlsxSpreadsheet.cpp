#include "platform/spreadsheet/XlsxSpreadsheet.h"

#include "platform/spreadsheet/SpreadsheetError.h"
#include "platform/spreadsheet/XlsxWorkbook.h"

#include <QTemporaryFile>

XlsxSpreadsheet::XlsxSpreadsheet(QString folder, FileOpener open)
    : folder_(std::move(folder)), open_(std::move(open))
{
}

std::unique_ptr<Workbook> XlsxSpreadsheet::NewWorkbook(const QString& templateFile)
{
    if (!templateFile.isEmpty())
        throw SpreadsheetError(QStringLiteral("An .xlsx workbook cannot be made from the template %1").arg(templateFile));
    // The name is taken now, so that two exports never write one file; the workbook fills it.
    QTemporaryFile file(folder_ + QStringLiteral("/Quillon-XXXXXX.xlsx"));
    file.setAutoRemove(false);
    if (!file.open())
        throw SpreadsheetError(QStringLiteral("Cannot create file %1").arg(file.fileTemplate()));
    const QString path = file.fileName();
    file.close();
    return std::make_unique<XlsxWorkbook>(path, open_);
}
