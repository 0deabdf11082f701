#pragma once

#include "platform/spreadsheet/Workbook.h"

#include <QString>
#include <functional>
#include <map>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A workbook written as an .xlsx file: cells are kept until Show writes the file and hands it to
// the desktop. Texts go in as strings, never as formulas; one longer than a cell holds is cut and
// ends in "…". Whole numbers show all their digits, and each column is as wide as its widest
// value, within bounds. One never shown leaves no file behind.
class XlsxWorkbook : public Workbook {
public:
    XlsxWorkbook(QString file, std::function<bool(const QString&)> open);
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    void NameFirstSheet(const QString& name) override;
    void WriteCells(int row, int column, const CellBlock& rows) override;
    void Show() override;
    int CutTexts() const override { return cutTexts_; }

    const QString& File() const { return file_; }

private:
    lxw_worksheet* Sheet();
    void Write(int row, int column, const CellValue& value);
    // Widens the column to show characters of a value.
    void Fit(int column, qsizetype characters);

    QString file_;
    std::function<bool(const QString&)> open_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* dateTimeFormat_ = nullptr;
    lxw_format* wholeNumberFormat_ = nullptr;
    // The characters the widest value of each written column (from 1) shows.
    std::map<int, qsizetype> widths_;
    int cutTexts_ = 0;
};
