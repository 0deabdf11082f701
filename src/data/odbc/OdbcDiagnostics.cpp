#include "data/odbc/OdbcDiagnostics.h"

#include <vector>

QString StripDriverPrefixes(QString message)
{
    message = message.trimmed();
    while (message.startsWith(u'[')) {
        const qsizetype close = message.indexOf(u']');
        if (close < 0)
            break;
        message.remove(0, close + 1);
    }
    return message.trimmed();
}

DatabaseError DiagnosticsError(SQLSMALLINT handleType, SQLHANDLE handle, const QString& fallback)
{
    QString firstState;
    QString firstMessage;
    int firstNative = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLWCHAR> text(1024);
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(),
                                      SQLSMALLINT(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(text.size())) {
            text.resize(std::size_t(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(),
                                SQLSMALLINT(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString sqlState = FromSqlWide(state, 5);
        const QString message = StripDriverPrefixes(FromSqlWide(text.data(), qMin<qsizetype>(length, qsizetype(text.size()) - 1)));
        if (firstMessage.isEmpty()) {
            firstState = sqlState;
            firstMessage = message;
            firstNative = int(native);
        }
        // Notices (00000) and warnings (01xxx) may come before the error that matters.
        if (!sqlState.startsWith(QStringLiteral("00")) && !sqlState.startsWith(QStringLiteral("01")))
            return DatabaseError(message, sqlState, int(native));
    }
    if (firstMessage.isEmpty())
        return DatabaseError(fallback, QString(), 0);
    return DatabaseError(firstMessage, firstState, firstNative);
}

void CheckOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what)
{
    if (SQL_SUCCEEDED(rc))
        return;
    if (rc == SQL_INVALID_HANDLE)
        throw DatabaseError(QStringLiteral("ODBC call %1 was given an invalid handle").arg(QLatin1StringView(what)),
                            QString(), 0);
    throw DiagnosticsError(handleType, handle, QStringLiteral("ODBC call %1 failed").arg(QLatin1StringView(what)));
}
