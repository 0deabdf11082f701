#pragma once

#include <QtGlobal>

// The values of the server's text forms as the data source's driver gives them. A text these
// cannot read gives the driver's value for it: today for a date or date-time, midnight for a
// time, 0 for a number.

// "YYYY-MM-DD HH:MM:SS[.f...][+zone][ BC]" as ticks of the session's wall time (the zone is
// dropped); "infinity" and "-infinity" as the extreme date-times.
qint64 PgDateTimeTicks(const char* value, int length);
// "YYYY-MM-DD" as its Julian day; the era of a date is dropped, as the driver drops it.
qint64 PgDateJulianDay(const char* value, int length);
// "HH:MM:SS[.f...][+zone]" as ticks since midnight; "24:00:00" is a whole day.
qint64 PgTimeTicks(const char* value, int length);
qint64 PgInteger(const char* value, int length);
double PgReal(const char* value, int length);
// Money as the server's monetary locale writes it: "$1,234.56", "-1.234,56 €", "(1 234,56 ₽)".
double PgMoney(const char* value, int length);
