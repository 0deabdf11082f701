#pragma once

#include "platform/spreadsheet/CellValue.h"

#include <QDate>
#include <QString>

class Query;

// The sheet name of an export: the window's caption with / \ [ ] * ? & turned into "-", its first
// 30 characters, without leading and trailing blanks and control characters.
QString ExportSheetName(QString caption);

// A date as the export writes it: day, month and four-digit year joined by the locale's date
// separator (21.10.2004).
QString ExportDateText(const QDate& date);

// The current row's value of field as the export writes it: 32-bit integers, floating-point
// numbers and currency as numbers (null as 0), date-times as the text of their date (null as the
// date of day 0, 30.12.1899), everything else as its display text.
CellValue ExportCell(const Query& query, int field);
