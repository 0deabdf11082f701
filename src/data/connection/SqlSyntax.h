#pragma once

#include <QString>
#include <optional>

// The family of SQL a server speaks, where the families read the same characters differently:
// brackets quote a name on SQL Server and are array subscripts on PostgreSQL.
enum class SqlDialect {
    SqlServer,
    PostgreSql,
    // Any other server: only what all of them read alike is relied on.
    Other,
};

// The dialect of a server by the name its ODBC driver gives it (SQL_DBMS_NAME).
SqlDialect SqlDialectOfDbms(const QString& dbmsName);

// A statement that returns the server's number of the session it runs on, in one row and column;
// empty where the dialect has none.
QString SessionIdQuery(SqlDialect dialect);

// How the server of a session reads the text of a batch, as far as a value put into it can
// change what the batch does.
struct SqlSyntax {
    SqlDialect dialect = SqlDialect::Other;
    // PostgreSQL only: whether a '...' string takes a backslash as written
    // (standard_conforming_strings); nullopt when the session did not tell.
    std::optional<bool> standardStrings;
};
