// What the script cost probe itself costs per refresh: the time of ScriptCostProbe::measure() after
// each run of a monitor script on the worker's kind of connection, beside the time of the run.
// Runs against the throwaway PostgreSQL of scripts/testdb.sh, with pg_stat_statements loaded, and
// against the SQL Server stand-in where "testdb.sh start-mssql" started it.
//   QUILLON_TEST_DB_DIR=DIR ODBCSYSINI=DIR/odbc ODBCINI=DIR/odbc/odbc.ini quillon_bench_cost [REFRESHES]

#include "TestDatabase.h"

#include "connection/ScriptCostProbe.h"
#include "data/connection/Connection.h"
#include "data/records/RecordSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * double(values.size())))];
}

void Measure(const char* name, const QString& connectionString, const QString& script, int refreshes)
{
    Connection connection;
    connection.setConnectionString(connectionString);
    connection.open();
    ScriptCostProbe probe(script);
    std::vector<double> runs;
    std::vector<double> probes;
    bool counted = false;
    for (int i = 0; i < refreshes; ++i) {
        QElapsedTimer timer;
        timer.start();
        connection.execute(script, true);
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        const ServerCost cost = probe.measure(connection);
        probes.push_back(double(timer.nsecsElapsed()) / 1e6);
        counted = counted || cost.reads.has_value();
    }
    std::printf("%-34s %10.2f %10.2f %10.2f %10.2f  %s\n", name, Percentile(runs, 0.5), Percentile(probes, 0.5),
                Percentile(probes, 0.95), probes.front(), counted ? "counts shown" : "no counts (probe off)");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!TestDatabase::available()) {
        std::fprintf(stderr, "no test database: set QUILLON_TEST_DB_DIR (scripts/testdb.sh start DIR)\n");
        return 2;
    }
    const int refreshes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    const QString activity = QStringLiteral("select pid, usename, application_name, client_addr, backend_start, state, query"
                                            " from pg_stat_activity where pid <> pg_backend_pid()");
    std::printf("%d refreshes; milliseconds     %10s %10s %10s %10s\n", refreshes, "run, med", "probe, med", "probe, p95",
                "first");
    Measure("PostgreSQL (pg_stat_statements)", TestDatabase::pgConnectionString(QStringLiteral("Quillon bench")), activity,
            refreshes);
    if (TestDatabase::mssqlAvailable()) {
        Measure("SQL Server stand-in (dm_exec_sessions)", TestDatabase::mssqlConnectionString(QStringLiteral("Quillon bench")),
                QStringLiteral("exec sp_who2"), refreshes);
    }
    return 0;
}
