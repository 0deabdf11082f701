#pragma once

// The one place that includes the ODBC headers, for the files of this folder only.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QString>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the wide ODBC calls must carry UTF-16");

inline const SQLWCHAR* ToSqlWide(const QString& text)
{
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

inline QString FromSqlWide(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}
