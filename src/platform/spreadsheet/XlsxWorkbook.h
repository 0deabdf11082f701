#pragma once

#include "platform/spreadsheet/Workbook.h"

#include <QString>
#include <functional>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A workbook written as an .xlsx file: cells are kept until Show writes the file and hands it to
// the desktop. Texts go in as strings, never as formulas. One never shown leaves no file behind.
class XlsxWorkbook : public Workbook {
public:
    XlsxWorkbook(QString file, std::function<bool(const QString&)> open);
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    void NameFirstSheet(const QString& name) override;
    void WriteCells(int row, int column, const CellBlock& rows) override;
    void Show() override;

    const QString& File() const { return file_; }

private:
    lxw_worksheet* Sheet();
    void Write(int row, int column, const CellValue& value);

    QString file_;
    std::function<bool(const QString&)> open_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* dateTimeFormat_ = nullptr;
};
