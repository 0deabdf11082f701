#include "data/connection/SqlSyntax.h"

SqlDialect SqlDialectOfDbms(const QString& dbmsName)
{
    // psqlODBC says "PostgreSQL"; FreeTDS and the vendor's drivers "Microsoft SQL Server".
    if (dbmsName.contains(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive))
        return SqlDialect::PostgreSql;
    if (dbmsName.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive))
        return SqlDialect::SqlServer;
    return SqlDialect::Other;
}

QString SessionCostSql(SqlDialect dialect)
{
    if (dialect != SqlDialect::SqlServer)
        return {};
    return QStringLiteral("select cpu_time, reads from sys.dm_exec_sessions where session_id = @@spid");
}

QString StatementIdSql(SqlDialect dialect, const QString& statement)
{
    if (dialect != SqlDialect::PostgreSql)
        return {};
    QString single = statement.trimmed();
    while (single.endsWith(u';'))
        single = single.chopped(1).trimmed();
    // A semicolon within a literal turns the probe off too: cheaper than parsing the script.
    if (single.isEmpty() || single.contains(u';'))
        return {};
    // EXPLAIN plans the statement without running it; VERBOSE adds its query identifier.
    return QStringLiteral("explain (verbose, costs off) ") + single;
}

std::optional<qint64> StatementIdInLine(const QString& line)
{
    static const QString prefix = QStringLiteral("Query Identifier:");
    const QString text = line.trimmed();
    if (!text.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const qint64 id = text.mid(prefix.size()).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(id) : std::nullopt;
}

QString StatementCostSql(SqlDialect dialect, qint64 queryId)
{
    if (dialect != SqlDialect::PostgreSql)
        return {};
    return QStringLiteral("select coalesce(sum(total_exec_time), 0), coalesce(sum(shared_blks_hit + shared_blks_read), 0),"
                          " coalesce(sum(calls), 0) from pg_stat_statements where queryid = %1"
                          " and userid = (select oid from pg_roles where rolname = current_user)"
                          " and dbid = (select oid from pg_database where datname = current_database())")
        .arg(queryId);
}

QString SessionIdQuery(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::SqlServer:
        return QStringLiteral("select @@spid");
    case SqlDialect::PostgreSql:
        return QStringLiteral("select pg_backend_pid()");
    case SqlDialect::Other:
        break;
    }
    return QString();
}
