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

// What the server counts of a monitor's work, where it tells cheaply. SQL Server: the statement that
// reads the session's own cpu_time (milliseconds) and reads since it logged on, one row; every login
// sees its own session. Empty for the other dialects.
QString SessionCostSql(SqlDialect dialect);
// PostgreSQL: the statement whose result holds the line "Query Identifier: n", the identifier under
// which pg_stat_statements counts statement; empty for the other dialects and for a text of more than
// one statement, which EXPLAIN cannot take.
QString StatementIdSql(SqlDialect dialect, const QString& statement);
// The query identifier in a line of StatementIdSql's result; nullopt when the line holds none.
std::optional<qint64> StatementIdInLine(const QString& line);
// PostgreSQL: the statement that reads what pg_stat_statements counted for the statement of that
// identifier in this database for this session's user: its total execution time in milliseconds, the
// blocks it read (from the cache or not) and its calls, one row.
QString StatementCostSql(SqlDialect dialect, qint64 queryId);
