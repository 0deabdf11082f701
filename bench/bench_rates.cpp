// Figures for the per-second rates of cumulative columns, computed on the worker thread: a result of
// 200,000 rows with 2 key columns and 3 cumulative columns (a number, a real and sp_who2's text),
// refreshed with every total grown. No server: the rows are built by hand.
//   quillon_bench_rates [RUNS]     median and worst of the computation, and the memory it keeps
#include "RecordSets.h"
#include "ThreadCpu.h"

#include "data/history/CumulativeRates.h"
#include "data/records/RecordSet.h"
#include "platform/LargeBlocks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <utility>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rows = 200000;

// The refresh number refresh of a process list: every total a little higher than the last time.
std::unique_ptr<RecordSet> Refresh(int refresh)
{
    auto records = std::make_unique<RecordSet>(FieldsOf({{QStringLiteral("spid"), FieldType::Integer},
                                                         {QStringLiteral("host"), FieldType::VarWChar},
                                                         {QStringLiteral("status"), FieldType::VarWChar},
                                                         {QStringLiteral("cpu"), FieldType::BigInt},
                                                         {QStringLiteral("wait"), FieldType::Float},
                                                         {QStringLiteral("io"), FieldType::VarChar},
                                                         {QStringLiteral("program"), FieldType::VarWChar}}));
    for (int row = 0; row < Rows; ++row) {
        const auto text = [&records](int column, const QString& value) {
            records->column(column).appendText(reinterpret_cast<const char16_t*>(value.utf16()), value.size());
        };
        records->column(0).appendInteger(row % 50000);
        text(1, QStringLiteral("host-%1").arg(row / 50000));
        text(2, row % 3 == 0 ? QStringLiteral("runnable") : QStringLiteral("sleeping"));
        records->column(3).appendInteger(qint64(row) * 1000 + qint64(refresh) * (row % 97));
        records->column(4).appendReal(row * 0.5 + refresh * 0.25);
        text(5, QString::number(qint64(row) * 10 + refresh * (row % 13)));
        text(6, QStringLiteral("program %1").arg(row % 40));
    }
    records->squeeze();
    return records;
}

} // namespace

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    QCoreApplication app(argc, argv);
    const int runs = std::max(app.arguments().value(1).toInt(), 3);
    std::vector<std::unique_ptr<RecordSet>> refreshes;
    for (int i = 0; i <= runs; ++i)
        refreshes.push_back(Refresh(i));
    const qsizetype resultBytes = refreshes.front()->bytesUsed();

    CumulativeRates rates({QStringLiteral("spid"), QStringLiteral("host")},
                          {QStringLiteral("cpu"), QStringLiteral("wait"), QStringLiteral("io")});
    std::vector<double> times, cpu;
    std::unique_ptr<RecordSet> out;
    for (int i = 0; i <= runs; ++i) {
        QElapsedTimer timer;
        const double cpuBefore = ThreadCpuMillis();
        timer.start();
        out = rates.apply(std::move(refreshes[std::size_t(i)]), qint64(i) * 1000);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        // The first refresh has nothing to compare with.
        if (i > 0) {
            times.push_back(ms);
            cpu.push_back(ThreadCpuMillis() - cpuBefore);
        }
        out.reset();
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("| rates of %d rows, 2 key and 3 cumulative columns (%zu refreshes) | median %.1f ms (CPU %.1f ms) |"
                " worst %.1f ms | kept %lld KB of a %lld KB result |\n",
                Rows, times.size(), times[times.size() / 2], cpu[cpu.size() / 2], times.back(),
                static_cast<long long>(rates.bytesKept() / 1024), static_cast<long long>(resultBytes / 1024));
    return 0;
}
