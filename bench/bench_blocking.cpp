// Figures for the blocking tree of a 20,000-row session list: the forest built on the worker with
// every refresh, and what the tree adds to the window's hand-over on the user-interface thread
// (the same hand-over with the tree switched off, subtracted). Two shapes: a few chains, as a busy
// server has them, and half the sessions blocked. No server: the rows are built by hand.
//   quillon_bench_blocking [RUNS]
#include "RecordSets.h"

#include "data/Query.h"
#include "data/view/BlockingForest.h"
#include "data/view/RowMarks.h"
#include "monitor/BlockingTree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rows = 20000;

const BlockingColumns Columns{QStringLiteral("spid"), QStringLiteral("blocked_by"), QStringLiteral("wait_ms")};

// Sessions 1..Rows; every blockedEvery-th waits for a session a few before it, so that chains run
// a few deep.
std::unique_ptr<RecordSet> Sessions(int blockedEvery, int refresh)
{
    QList<QVariantList> rows;
    rows.reserve(Rows);
    for (int spid = 1; spid <= Rows; ++spid) {
        const bool blocked = spid % blockedEvery == 0 && spid > 10;
        rows.append({spid, blocked ? spid - 1 - (spid % 7) : 0, blocked ? (spid * 37 + refresh) % 90000 : 0,
                     QStringLiteral("host-%1").arg(spid % 40), QStringLiteral("program %1").arg(spid % 25)});
    }
    return RecordsOf({{"spid", FieldType::Integer}, {"blocked_by", FieldType::Integer}, {"wait_ms", FieldType::BigInt},
                      {"host", FieldType::VarWChar}, {"program", FieldType::VarWChar}},
                     rows);
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

// The data set's hand-over of each refresh, with the worker's forest given to the tree first.
std::vector<double> HandOvers(const std::vector<std::unique_ptr<RecordSet>>& refreshes, BlockingTree& tree, Query& query)
{
    std::vector<double> times;
    for (const auto& refresh : refreshes) {
        auto records = refresh->clone();
        auto forest = BuildBlockingForest(*records, {}, Columns);
        QElapsedTimer timer;
        timer.start();
        tree.Take(std::move(forest));
        query.setRecords(std::move(records));
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = std::max(app.arguments().value(1).toInt(), 5);
    for (const auto& [shape, every] : {std::pair{"a chain in 100 sessions", 100}, std::pair{"half blocked", 2}}) {
        std::vector<std::unique_ptr<RecordSet>> refreshes;
        for (int i = 0; i < runs; ++i)
            refreshes.push_back(Sessions(every, i));

        std::vector<double> builds;
        std::size_t nodes = 0;
        for (const auto& records : refreshes) {
            QElapsedTimer timer;
            timer.start();
            const auto forest = BuildBlockingForest(*records, {}, Columns);
            builds.push_back(double(timer.nsecsElapsed()) / 1e6);
            nodes = forest->nodes.size();
        }

        Query query;
        BlockingTree tree(query);
        tree.resize(900, 600);
        tree.show();
        tree.SetColumns(Columns);
        query.setRecords(refreshes.front()->clone());
        const std::vector<double> hidden = HandOvers(refreshes, tree, query);
        tree.SetShown(true);
        const std::vector<double> shown = HandOvers(refreshes, tree, query);

        std::printf("| %d rows, %s (%zu in the tree) | forest on the worker: median %.2f ms, worst %.2f ms |"
                    " hand-over: median %.2f ms with the tree, %.2f ms without: %.2f ms added, worst %.2f ms |\n",
                    Rows, shape, nodes, Median(builds), Worst(builds), Median(shown), Median(hidden),
                    Median(shown) - Median(hidden), Worst(shown));
    }
    return 0;
}
