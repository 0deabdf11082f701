#pragma once

#include "data/DataErrors.h"
#include "data/odbc/OdbcApi.h"

// The first error record of a handle as a DatabaseError; information records (notices,
// truncation warnings) are passed over.
DatabaseError DiagnosticsError(SQLSMALLINT handleType, SQLHANDLE handle, const QString& fallback);

// Throws the handle's diagnostics unless rc succeeded.
void CheckOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what);

// The message without the "[vendor][driver]" prefixes the driver manager and drivers put in front.
QString StripDriverPrefixes(QString message);
