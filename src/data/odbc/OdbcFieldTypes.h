#pragma once

#include "data/records/FieldType.h"

#include <QString>

// The column kind for an ODBC SQL type. The server's type name settles what the SQL type alone
// does not: SQL Server's money and smallmoney arrive as decimals.
FieldType FieldTypeOf(int sqlType, const QString& typeName, bool decimalsAsFloat);
