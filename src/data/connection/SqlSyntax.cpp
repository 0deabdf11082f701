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
