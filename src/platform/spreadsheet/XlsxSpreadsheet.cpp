#include "platform/spreadsheet/XlsxSpreadsheet.h"

#include "platform/spreadsheet/SpreadsheetError.h"
#include "platform/spreadsheet/XlsxWorkbook.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>

namespace {

// The files are named after the template of QTemporaryFile: six letters or digits in place of X.
const QString FileTemplate = QStringLiteral("Quillon-XXXXXX.xlsx");

bool IsHandedOverFile(const QFileInfo& file)
{
    static const QRegularExpression name(QStringLiteral("^Quillon-[A-Za-z0-9]{6}\\.xlsx$"));
    return file.isFile() && !file.isSymLink() && name.match(file.fileName()).hasMatch();
}

} // namespace

XlsxSpreadsheet::XlsxSpreadsheet(QString folder, FileOpener open, std::chrono::milliseconds keep)
    : folder_(std::move(folder)), open_(std::move(open)), keep_(keep)
{
}

std::unique_ptr<Workbook> XlsxSpreadsheet::NewWorkbook(const QString& templateFile)
{
    if (!templateFile.isEmpty())
        throw SpreadsheetError(QStringLiteral("An .xlsx workbook cannot be made from the template %1").arg(templateFile));
    // The name is taken now, so that two exports never write one file; the workbook fills it.
    QTemporaryFile file(folder_ + u'/' + FileTemplate);
    file.setAutoRemove(false);
    if (!file.open())
        throw SpreadsheetError(QStringLiteral("Cannot create file %1").arg(file.fileTemplate()));
    const QString path = file.fileName();
    file.close();
    return std::make_unique<XlsxWorkbook>(path, [open = open_, keep = keep_](const QString& handed) {
        if (!open(handed))
            return false;
        // The opener reads the file some time after it is started; a run that ends before then
        // leaves the file to the next one.
        QTimer::singleShot(keep, [handed] { QFile::remove(handed); });
        return true;
    });
}

void XlsxSpreadsheet::RemoveHandedOver(const QString& folder, std::chrono::milliseconds keep)
{
    const QDateTime handedBefore = QDateTime::currentDateTimeUtc().addMSecs(-keep.count());
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("Quillon-*.xlsx")}, QDir::Files);
    for (const QFileInfo& file : files) {
        if (IsHandedOverFile(file) && file.fileTime(QFileDevice::FileModificationTime).toUTC() <= handedBefore)
            QFile::remove(file.filePath());
    }
}
