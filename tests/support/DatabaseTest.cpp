#include "DatabaseTest.h"

#include "TestDatabase.h"

#include <QTest>

QString DatabaseTest::missing(Needs needs)
{
    if (TestDatabase::dir().isEmpty())
        return QStringLiteral("QUILLON_TEST_DB_DIR is not set: run the suite through ctest, which starts the test database");
    if (!TestDatabase::available())
        return QStringLiteral("the test database is not running: no PG_DSN in %1/env").arg(TestDatabase::dir());
    if (needs == Needs::SqlServerStandIn && !TestDatabase::mssqlAvailable())
        return QStringLiteral("the SQL Server stand-in is not running: no MSSQL_DSN in %1/env").arg(TestDatabase::dir());
    return {};
}

void DatabaseTest::initTestCase()
{
    const QString why = missing(needs_);
    if (why.isEmpty()) {
        prepareDatabase();
        return;
    }
    if (TestDatabase::dir().isEmpty())
        QSKIP(qPrintable(why));
    QFAIL(qPrintable(why));
}
