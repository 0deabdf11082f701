#pragma once

// Data-set tests run on both reading paths of a PostgreSQL data source: libpq, which a psqlODBC
// data source gets by default, and ODBC alone, which every other driver uses.

#include <QCoreApplication>
#include <QTest>
#include <cstdio>

// The test class takes the path in its constructor: true for ODBC alone.
template <typename Test>
int RunOnBothReadingPaths(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (const bool odbcOnly : {false, true}) {
        std::printf("*** reading path: %s\n", odbcOnly ? "ODBC" : "libpq");
        Test test(odbcOnly);
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures;
}
