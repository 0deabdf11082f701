#include "platform/spreadsheet/XlsxWorkbook.h"

#include "platform/spreadsheet/DateSeparator.h"
#include "platform/spreadsheet/SpreadsheetError.h"

#include <QFile>
#include <cmath>
#include <xlsxwriter.h>

namespace {

// The longest text a cell of the format holds; longer texts are cut there.
constexpr qsizetype MaxCellText = 32767;

void Check(lxw_error error, const char* what)
{
    if (error != LXW_NO_ERROR)
        throw SpreadsheetError(QStringLiteral("%1: %2").arg(QLatin1StringView(what), QString::fromUtf8(lxw_strerror(error))));
}

} // namespace

XlsxWorkbook::XlsxWorkbook(QString file, std::function<bool(const QString&)> open)
    : file_(std::move(file)), open_(std::move(open))
{
    book_ = workbook_new(QFile::encodeName(file_).constData());
    if (!book_) {
        QFile::remove(file_);
        throw SpreadsheetError(QStringLiteral("Cannot create file %1").arg(file_));
    }
    // The date of the export in the locale's order of day and month, with its separator.
    const QString separator = QStringLiteral("\\") + DateSeparator();
    dateTimeFormat_ = workbook_add_format(book_);
    format_set_num_format(dateTimeFormat_,
                          (QStringLiteral("dd") + separator + QStringLiteral("mm") + separator
                           + QStringLiteral("yyyy hh:mm:ss")).toUtf8().constData());
}

XlsxWorkbook::~XlsxWorkbook()
{
    if (book_) {
        lxw_workbook_free(book_);
        QFile::remove(file_);
    }
}

lxw_worksheet* XlsxWorkbook::Sheet()
{
    if (!sheet_)
        sheet_ = workbook_add_worksheet(book_, nullptr);
    if (!sheet_)
        throw SpreadsheetError(QStringLiteral("The workbook has no sheet"));
    return sheet_;
}

void XlsxWorkbook::NameFirstSheet(const QString& name)
{
    if (sheet_)
        throw SpreadsheetError(QStringLiteral("The first sheet is named before it is written"));
    const QByteArray utf8 = name.toUtf8();
    if (name.isEmpty())
        throw SpreadsheetError(QStringLiteral("Empty sheet name"));
    Check(workbook_validate_sheet_name(book_, utf8.constData()), "sheet name");
    sheet_ = workbook_add_worksheet(book_, utf8.constData());
    if (!sheet_)
        throw SpreadsheetError(QStringLiteral("The sheet name %1 was refused").arg(name));
}

void XlsxWorkbook::WriteCells(int row, int column, const CellBlock& rows)
{
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            Write(row + int(r), column + int(c), rows[r][c]);
    }
}

void XlsxWorkbook::Write(int row, int column, const CellValue& value)
{
    if (row < 1 || column < 1 || row > LXW_ROW_MAX || column > LXW_COL_MAX)
        throw SpreadsheetError(QStringLiteral("Cell (%1, %2) is outside the sheet").arg(row).arg(column));
    lxw_worksheet* sheet = Sheet();
    const auto r = lxw_row_t(row - 1);
    const auto c = lxw_col_t(column - 1);
    if (const double* number = std::get_if<double>(&value)) {
        // The format has no such numbers: the file would not open.
        if (!std::isfinite(*number))
            throw SpreadsheetError(QStringLiteral("Cell (%1, %2): %3 is no number a sheet holds").arg(row).arg(column).arg(*number));
        Check(worksheet_write_number(sheet, r, c, *number, nullptr), "number");
    } else if (const QString* text = std::get_if<QString>(&value)) {
        if (text->isEmpty())
            return;
        Check(worksheet_write_string(sheet, r, c, text->left(MaxCellText).toUtf8().constData(), nullptr), "text");
    } else {
        const QDateTime& stamp = std::get<QDateTime>(value);
        lxw_datetime when{stamp.date().year(), stamp.date().month(), stamp.date().day(),
                          stamp.time().hour(), stamp.time().minute(), double(stamp.time().second())};
        Check(worksheet_write_datetime(sheet, r, c, &when, dateTimeFormat_), "date");
    }
}

void XlsxWorkbook::Show()
{
    Sheet();
    lxw_workbook* book = book_;
    book_ = nullptr;
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR)
        QFile::remove(file_);
    Check(closed, "writing the file");
    if (!open_(file_))
        throw SpreadsheetError(QStringLiteral("No application opens %1").arg(file_));
}
