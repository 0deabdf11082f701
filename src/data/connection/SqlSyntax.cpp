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
