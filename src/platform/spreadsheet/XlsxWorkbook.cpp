#include "platform/spreadsheet/XlsxWorkbook.h"

#include "platform/spreadsheet/DateSeparator.h"
#include "platform/spreadsheet/ShownCharacters.h"
#include "platform/spreadsheet/SpreadsheetError.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <xlsxwriter.h>

namespace {

// The longest text a cell of the format holds.
constexpr qsizetype MaxCellText = 32767;
// What ends a text cut to fit a cell.
constexpr char16_t CutMark = u'\u2026';

// The default column width, in characters of the sheet's font.
constexpr double DefaultWidth = 8.43;

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
    dateTimeFormat_ = workbook_add_format(book_);
    format_set_num_format(dateTimeFormat_, DateTimeFormatCode().toUtf8().constData());
    // The format's own "0": all digits, where the general format would show 2.15E+09.
    wholeNumberFormat_ = workbook_add_format(book_);
    format_set_num_format_index(wholeNumberFormat_, 1);
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
        Check(worksheet_write_number(sheet, r, c, *number, IsWholeNumber(*number) ? wholeNumberFormat_ : nullptr),
              "number");
        Fit(column, ShownCharacters(value));
    } else if (const QString* text = std::get_if<QString>(&value)) {
        if (text->isEmpty())
            return;
        QString kept = *text;
        if (kept.size() > MaxCellText) {
            qsizetype length = MaxCellText - 1;
            // A character outside the basic plane takes two places: it is kept whole or not at all.
            if (kept[length - 1].isHighSurrogate())
                --length;
            kept.truncate(length);
            kept += QChar(CutMark);
            ++cutTexts_;
        }
        Check(worksheet_write_string(sheet, r, c, kept.toUtf8().constData(), nullptr), "text");
        Fit(column, ShownCharacters(kept));
    } else {
        const QDateTime& stamp = std::get<QDateTime>(value);
        lxw_datetime when{stamp.date().year(), stamp.date().month(), stamp.date().day(),
                          stamp.time().hour(), stamp.time().minute(), double(stamp.time().second())};
        Check(worksheet_write_datetime(sheet, r, c, &when, dateTimeFormat_), "date");
        Fit(column, ShownCharacters(value));
    }
}

void XlsxWorkbook::Fit(int column, qsizetype characters)
{
    qsizetype& widest = widths_[column];
    widest = std::max(widest, characters);
}

void XlsxWorkbook::Show()
{
    lxw_worksheet* sheet = Sheet();
    for (const auto& [column, characters] : widths_) {
        // A character's room besides the value keeps it off the cell's border.
        const double width = std::clamp(double(characters) + 1, DefaultWidth, double(MaxColumnCharacters) + 1);
        if (width > DefaultWidth)
            Check(worksheet_set_column(sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), width, nullptr), "width");
    }
    lxw_workbook* book = book_;
    book_ = nullptr;
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR)
        QFile::remove(file_);
    Check(closed, "writing the file");
    if (!open_(file_))
        throw SpreadsheetError(QStringLiteral("No application opens %1").arg(file_));
}
