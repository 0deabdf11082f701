// Figures for scripts/bench.sh, one line of "key value" pairs per mode:
//   quillon_bench open SQL   opens SQL once (the caller measures the process's time and memory)
//   quillon_bench ops SQL SORT FILTER RUNS   median times of adoption, sort and filter on the rows
// --odbc before the mode reads through ODBC even where libpq would read the data source.
#include "TestDatabase.h"
#include "ThreadCpu.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "platform/LargeBlocks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wall time of step; its processor time goes to cpu, which a busy machine disturbs less.
template <typename F>
double Millis(F&& step, std::vector<double>* cpu = nullptr)
{
    QElapsedTimer timer;
    const double cpuBefore = ThreadCpuMillis();
    timer.start();
    step();
    const double wall = double(timer.nsecsElapsed()) / 1e6;
    if (cpu)
        cpu->push_back(ThreadCpuMillis() - cpuBefore);
    return wall;
}

} // namespace

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool odbcOnly = args.removeAll(QStringLiteral("--odbc")) > 0;
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: quillon_bench [--odbc] open SQL | ops SQL SORT FILTER RUNS\n");
        return 2;
    }
    try {
        Connection connection;
        connection.setConnectionString(TestDatabase::pgConnectionString());
        connection.setOdbcOnly(odbcOnly);
        connection.open();
        Query worker;
        worker.setConnection(&connection);
        worker.setDecimalsAsFloat(true);
        worker.setSql({args[2]});

        if (args[1] == QStringLiteral("open")) {
            const double openMs = Millis([&] { worker.open(); });
            const double cells = double(worker.recordCount()) * worker.fieldCount();
            std::printf("rows %d cells %.0f open_ms %.1f held_bytes %lld bytes_per_cell %.1f path %s\n", worker.recordCount(),
                        cells, openMs, static_cast<long long>(worker.bytesUsed()), double(worker.bytesUsed()) / cells,
                        connection.readsNatively() ? "libpq" : "odbc");
            return 0;
        }

        const int runs = args.size() > 5 ? args[5].toInt() : 7;
        Query window;
        std::vector<double> adopt, sort, sortCpu, filter;
        worker.open();
        for (int i = 0; i < runs; ++i) {
            // Moving the rows back and forth: no sort or filter is in force during these.
            adopt.push_back(Millis([&] { window.adopt(worker); }));
            worker.adopt(window);
        }
        window.adopt(worker);
        for (int i = 0; i < runs; ++i) {
            window.setSort(QString());
            sort.push_back(Millis([&] { window.setSort(args[3]); }, &sortCpu));
        }
        window.setSort(QString());
        window.setFilter(args[4]);
        int passing = 0;
        for (int i = 0; i < runs; ++i) {
            window.setFiltered(false);
            filter.push_back(Millis([&] { window.setFiltered(true); }));
            passing = window.recordCount();
        }
        std::printf("adopt_ms %.4f sort_ms %.1f sort_cpu_ms %.1f filter_ms %.1f filter_rows %d\n", Median(adopt),
                    Median(sort), Median(sortCpu), Median(filter), passing);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillon_bench: %s\n", e.what());
        return 1;
    }
}
