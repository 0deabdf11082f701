#pragma once

#include <QChar>
#include <QString>

// The locale's date separator, taken from its short date form ("." for 21.10.2004, "/" for
// 10/21/04); "/" where the form has none.
QChar DateSeparator();

// The number format that shows a date and time in the program's form, day, month and four-digit
// year joined by the locale's date separator, then the time (21.10.2004 14:05:30). The office and
// the .xlsx format read it alike.
QString DateTimeFormatCode();
