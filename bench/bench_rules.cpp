// Figures for row rules: the worker's evaluation of three rules on a process list of 20,000 rows
// refreshed every second (a hold time, a blocked session that comes and goes, a long request), and
// what the looks add to the window's hand-over of those rows. No server: the rows are built by hand.
//   quillon_bench_rules [RUNS]     median and worst of each
#include "RecordSets.h"
#include "ThreadCpu.h"

#include "data/history/RowRuleEngine.h"
#include "data/records/RecordSet.h"
#include "data/view/RecordView.h"
#include "platform/LargeBlocks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr int Rows = 20000;

// The refresh number refresh: a session in 50 blocked, in turn; one in 10 running long.
std::unique_ptr<RecordSet> Refresh(int refresh)
{
    auto records = std::make_unique<RecordSet>(FieldsOf({{QStringLiteral("spid"), FieldType::Integer},
                                                         {QStringLiteral("status"), FieldType::VarWChar},
                                                         {QStringLiteral("blocked_by"), FieldType::Integer},
                                                         {QStringLiteral("elapsed_ms"), FieldType::BigInt},
                                                         {QStringLiteral("program"), FieldType::VarWChar}}));
    for (int row = 0; row < Rows; ++row) {
        const auto text = [&records](int column, const QString& value) {
            records->column(column).appendText(reinterpret_cast<const char16_t*>(value.utf16()), value.size());
        };
        records->column(0).appendInteger(row);
        text(1, row % 3 == 0 ? QStringLiteral("runnable") : QStringLiteral("sleeping"));
        records->column(2).appendInteger((row + refresh) % 50 == 0 ? row + 1 : 0);
        records->column(3).appendInteger(row % 10 == 0 ? 60000 + refresh * 1000 : 200);
        text(4, QStringLiteral("program %1").arg(row % 40));
    }
    records->squeeze();
    return records;
}

RowRule Rule(const QString& name, const QString& expression, int hold, const QString& colour)
{
    RowRule rule;
    rule.name = name;
    rule.expression = expression;
    rule.holdSeconds = hold;
    rule.background = colour;
    rule.notify = true;
    return rule;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Worst(const std::vector<double>& values)
{
    return *std::max_element(values.begin(), values.end());
}

double Millis(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    QCoreApplication app(argc, argv);
    const int runs = std::max(app.arguments().value(1).toInt(), 5);
    RowRuleEngine engine({Rule(QStringLiteral("Blocked"), QStringLiteral("[blocked_by] > 0"), 5, QStringLiteral("#ffc8c8")),
                          Rule(QStringLiteral("Long"), QStringLiteral("[elapsed_ms] > 30000"), 0, QStringLiteral("#fff0b0")),
                          Rule(QStringLiteral("Running"), QStringLiteral("[status] = 'runnable' AND [program] = 'program 7'"), 2,
                               QStringLiteral("#e0d8ff"))},
                         {QStringLiteral("spid")});
    RecordView window;
    std::vector<double> worker, workerCpu, plain, looked;
    qsizetype events = 0;
    for (int i = 0; i < runs; ++i) {
        std::unique_ptr<RecordSet> records = Refresh(i);
        QElapsedTimer timer;
        const double cpuBefore = ThreadCpuMillis();
        timer.start();
        RowRuleEngine::Outcome outcome = engine.apply(*records, qint64(i) * 1000);
        worker.push_back(Millis(timer));
        workerCpu.push_back(ThreadCpuMillis() - cpuBefore);
        events += outcome.events.size();

        // The same rows handed over without and with their looks.
        for (const bool withLooks : {false, true}) {
            RecordView source;
            RowMarks marks;
            if (withLooks)
                marks.looks = outcome.looks;
            source.setRecords(withLooks ? std::move(records) : Refresh(i), std::move(marks));
            timer.start();
            window.adopt(source);
            (withLooks ? looked : plain).push_back(Millis(timer));
        }
    }
    std::printf("| row rules: 3 rules on %d rows at 1 s (%d refreshes, %lld events) | worker median %.2f ms (CPU %.2f ms), worst %.2f ms |\n",
                Rows, runs, qlonglong(events), Median(worker), Median(workerCpu), Worst(worker));
    std::printf("| hand-over of %d rows | without looks median %.2f ms | with looks median %.2f ms (worst %.2f ms) |\n",
                Rows, Median(plain), Median(looked), Worst(looked));
    return 0;
}
